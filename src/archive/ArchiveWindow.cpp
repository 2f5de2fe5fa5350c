#include "archive/ArchiveWindow.h"

#include "archive/Archive.h"
#include "archive/ArchiveView.h"
#include "ui_Archiv.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTimer>

using namespace tarnvik::archive;

namespace {

enum Role { ThreadRole = Qt::UserRole + 1, MessageRole, HtmlRole };

const QString kMarkOpen = QStringLiteral("<span style=\"background:#ffe066\">");
const QString kMarkClose = QStringLiteral("</span>");

// Draws an item's HTML (made of escaped text and our own few tags), wrapped
// to the width of the view.
class HtmlDelegate : public QStyledItemDelegate
{
public:
    explicit HtmlDelegate(QTreeWidget *view) : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem plain = option;
        initStyleOption(&plain, index);
        plain.text.clear();
        plain.widget->style()->drawControl(QStyle::CE_ItemViewItem, &plain, painter, plain.widget);
        QTextDocument doc;
        prepare(doc, option, index, option.rect.width());
        QAbstractTextDocumentLayout::PaintContext context;
        if (option.state & QStyle::State_Selected)
            context.palette.setColor(QPalette::Text, option.palette.color(QPalette::HighlightedText));
        painter->save();
        painter->translate(option.rect.topLeft());
        doc.documentLayout()->draw(painter, context);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        int depth = 0;
        for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
            ++depth;
        const int width = std::max(200, m_view->viewport()->width() - m_view->indentation() * (depth + 1));
        QTextDocument doc;
        prepare(doc, option, index, width);
        return QSize(width, int(doc.size().height()) + 2);
    }

private:
    static void prepare(QTextDocument &doc, const QStyleOptionViewItem &option, const QModelIndex &index, int width)
    {
        doc.setDefaultFont(option.font);
        doc.setDocumentMargin(3);
        doc.setHtml(index.data(HtmlRole).toString());
        doc.setTextWidth(width);
    }
    QTreeWidget *m_view;
};

QString dateText(const QDateTime &posted)
{
    return posted.isValid() ? QLocale(QLocale::German).toString(posted, QStringLiteral("dd.MM.yyyy HH:mm")) : QString();
}

} // namespace

TfrmArchiv::TfrmArchiv(Archive *archive, QWidget *parent) : QDialog(parent), ui(new Ui::TfrmArchiv), m_archive(archive)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui->cbBereich->addItem(QStringLiteral("Alle Bereiche"), int(Forums::None));
    for (const ForumKind section : {Forums::HandTools, Forums::Machines, Forums::Market})
        ui->cbBereich->addItem(sectionName(section), int(section));
    const QDate today = QDate::currentDate();
    ui->deVon->setDate(today.addYears(-1));
    ui->deBis->setDate(today);
    ui->tvTreffer->setItemDelegate(new HtmlDelegate(ui->tvTreffer));

    m_pause = new QTimer(this);
    m_pause->setSingleShot(true);
    m_pause->setInterval(kPauseMs);
    connect(m_pause, &QTimer::timeout, this, &TfrmArchiv::runSearch);
    const auto later = [this] { m_pause->start(); };
    connect(ui->ESuche, &QLineEdit::textChanged, this, later);
    connect(ui->EAutor, &QLineEdit::textChanged, this, later);
    connect(ui->cbBereich, &QComboBox::currentIndexChanged, this, later);
    connect(ui->cbSortierung, &QComboBox::currentIndexChanged, this, later);
    connect(ui->deVon, &QDateEdit::dateChanged, this, later);
    connect(ui->deBis, &QDateEdit::dateChanged, this, later);
    connect(ui->chkZeitraum, &QCheckBox::toggled, this, [this, later](bool on) {
        ui->deVon->setEnabled(on);
        ui->deBis->setEnabled(on);
        later();
    });
    connect(m_archive, &Archive::found, this, &TfrmArchiv::showResult);
    connect(ui->tvTreffer, &QTreeWidget::activated, this,
            [this](const QModelIndex &) { openItem(ui->tvTreffer->currentItem()); });
    connect(ui->btnOeffnen, &QPushButton::clicked, this, [this] { openItem(ui->tvTreffer->currentItem()); });
    connect(ui->btnSchliessen, &QPushButton::clicked, this, &QDialog::reject);
    ui->ESuche->installEventFilter(this);
    ui->tvTreffer->viewport()->installEventFilter(this);
}

TfrmArchiv::~TfrmArchiv()
{
    delete ui;
}

void TfrmArchiv::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ui->ESuche->setFocus();
    ui->ESuche->selectAll();
}

bool TfrmArchiv::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->ESuche && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        QTreeWidget *tree = ui->tvTreffer;
        if (key == Qt::Key_Down && tree->topLevelItemCount() > 0) {
            if (!tree->currentItem())
                tree->setCurrentItem(tree->topLevelItem(0));
            tree->setFocus();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Typing may be ahead of the results: search now, open the first.
            if (m_pause->isActive()) {
                m_pause->stop();
                runSearch();
            } else if (tree->topLevelItemCount() > 0) {
                openItem(tree->currentItem() ? tree->currentItem() : tree->topLevelItem(0));
            }
            return true;
        }
    }
    // Wrapped snippets take new heights when the width changes.
    if (watched == ui->tvTreffer->viewport() && event->type() == QEvent::Resize)
        ui->tvTreffer->doItemsLayout();
    return QDialog::eventFilter(watched, event);
}

SearchRequest TfrmArchiv::request() const
{
    SearchRequest request;
    request.text = ui->ESuche->text();
    request.section = ForumKind(ui->cbBereich->currentData().toInt());
    request.author = ui->EAutor->text();
    if (ui->chkZeitraum->isChecked()) {
        request.from = ui->deVon->date();
        request.to = ui->deBis->date();
    }
    request.newestFirst = ui->cbSortierung->currentIndex() == 0;
    return request;
}

void TfrmArchiv::runSearch()
{
    const SearchRequest next = request();
    if (parseQuery(next.text).isEmpty()) {
        ++m_serial; // an answer still under way is stale now
        m_result = {};
        ui->tvTreffer->clear();
        ui->lblStatus->clear();
        return;
    }
    ui->lblStatus->setText(QStringLiteral("Suche läuft…"));
    m_serial = m_archive->search(next);
}

void TfrmArchiv::showResult(quint64 serial, const SearchResult &result)
{
    if (serial != m_serial)
        return;
    m_result = result;
    QTreeWidget *tree = ui->tvTreffer;
    tree->clear();
    for (const ThreadHit &thread : result.threads) {
        auto *top = new QTreeWidgetItem(tree);
        const QString about = QStringLiteral("%1 · %2 Treffer").arg(sectionName(thread.section)).arg(thread.hits);
        top->setData(0, ThreadRole, thread.thread);
        top->setData(0, MessageRole, thread.messages.isEmpty() ? 0 : thread.messages.first().message);
        top->setData(0, HtmlRole, QStringLiteral("<b>%1</b> <span style=\"color:#6a6a6a\">— %2</span>")
                                      .arg(escapeHtml(thread.title), escapeHtml(about)));
        top->setData(0, Qt::AccessibleTextRole, thread.title + QStringLiteral(" — ") + about);
        for (const MessageHit &message : thread.messages) {
            auto *child = new QTreeWidgetItem(top);
            const QString byline = message.author + QStringLiteral(", ") + dateText(message.posted);
            child->setData(0, ThreadRole, thread.thread);
            child->setData(0, MessageRole, message.message);
            child->setData(0, HtmlRole, QStringLiteral("<span style=\"color:#6a6a6a\">%1</span><br>%2")
                                            .arg(escapeHtml(byline),
                                                 markedHtml(message.snippet.text, message.snippet.hits, kMarkOpen,
                                                            kMarkClose)));
            child->setData(0, Qt::AccessibleTextRole, byline + QStringLiteral(": ") + message.snippet.text);
        }
    }
    tree->expandAll();
    QString status;
    if (!result.error.isEmpty())
        status = result.error;
    else if (result.threads.isEmpty())
        status = QStringLiteral("Nichts gefunden.");
    else if (result.threads.size() == 1)
        status = QStringLiteral("1 Thread gefunden");
    else
        status = QStringLiteral("%1 Threads gefunden").arg(result.threads.size());
    if (result.more && !result.threads.isEmpty())
        status += request().newestFirst ? QStringLiteral(" (die neuesten Treffer)") : QStringLiteral(" (die besten Treffer)");
    if (result.insideWords && !result.threads.isEmpty())
        status += QStringLiteral(", auch in Wortteilen");
    ui->lblStatus->setText(status);
}

void TfrmArchiv::openItem(QTreeWidgetItem *item)
{
    if (!item)
        return;
    Q_EMIT openRequested(item->data(0, ThreadRole).toLongLong(), item->data(0, MessageRole).toLongLong());
}
