#include "browser/FindBar.h"

#include <QKeyEvent>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

#include "ui_FindBar.h"

namespace {
// A page's find runs in the engine; longer texts than this make no sense to
// look for.
constexpr int kMaxFindLength = 500;

bool isEnter(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}
} // namespace

FindBar::FindBar(QWebEnginePage *page, QWidget *parent) : QFrame(parent), ui(new Ui::FindBar), m_page(page)
{
    ui->setupUi(this);
    ui->EFind->setMaxLength(kMaxFindLength);
    ui->EFind->installEventFilter(this);
    connect(ui->EFind, &QLineEdit::textEdited, this, [this] { find(false); });
    connect(ui->btnNext, &QToolButton::clicked, this, [this] { find(false); });
    connect(ui->btnPrevious, &QToolButton::clicked, this, [this] { find(true); });
    connect(ui->btnClose, &QToolButton::clicked, this, &FindBar::dismiss);
    connect(page, &QWebEnginePage::findTextFinished, this, &FindBar::showResult);
    // A new document has other matches.
    connect(page, &QWebEnginePage::loadStarted, ui->lblMatches, &QLabel::clear);
    hide();
}

FindBar::~FindBar()
{
    delete ui;
}

void FindBar::open(const QString &text)
{
    if (!text.trimmed().isEmpty())
        ui->EFind->setText(text.left(kMaxFindLength).simplified());
    show();
    ui->EFind->setFocus(Qt::ShortcutFocusReason);
    ui->EFind->selectAll();
    if (!ui->EFind->text().isEmpty())
        find(false);
}

void FindBar::dismiss()
{
    if (isHidden())
        return;
    hide();
    ui->lblMatches->clear();
    if (m_page)
        m_page->findText(QString());
    Q_EMIT dismissed();
}

void FindBar::find(bool backward)
{
    if (!m_page)
        return;
    const QString text = ui->EFind->text();
    if (text.isEmpty()) {
        ui->lblMatches->clear();
        m_page->findText(QString());
        return;
    }
    m_page->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

QString FindBar::matchesText() const
{
    return ui->lblMatches->text();
}

void FindBar::showResult(const QWebEngineFindTextResult &result)
{
    if (ui->EFind->text().isEmpty() || isHidden())
        ui->lblMatches->clear();
    else if (result.numberOfMatches() == 0)
        ui->lblMatches->setText(QStringLiteral("Kein Treffer"));
    else
        ui->lblMatches->setText(
            QStringLiteral("%1 von %2").arg(result.activeMatch()).arg(result.numberOfMatches()));
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != ui->EFind)
        return QFrame::eventFilter(watched, event);
    const bool override = event->type() == QEvent::ShortcutOverride;
    if (!override && event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    const bool enter = isEnter(key) && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier);
    const bool escape = key->key() == Qt::Key_Escape && modifiers == Qt::NoModifier;
    if (!enter && !escape)
        return QFrame::eventFilter(watched, event);
    // Enter and Esc belong to the bar: no shortcut of the window and no
    // default button of a dialog gets them.
    event->accept();
    if (override)
        return true;
    if (enter)
        find(modifiers == Qt::ShiftModifier);
    else
        dismiss();
    return true;
}
