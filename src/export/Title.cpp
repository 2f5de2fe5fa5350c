#include "export/Title.h"

#include "export/ExportText.h"
#include "export/WordConnection.h"
#include "state/DialogFont.h"
#include "ui_Title.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

namespace {
// Outer heights of the dialog with and without the document list; the
// window frame takes about this much of them.
constexpr int kHeightWithList = 180;
constexpr int kHeightWithoutList = 105;
constexpr int kFrameAllowance = 30;
constexpr int kRowHeight = 13;
constexpr int kVisibleRows = 4;
} // namespace

void AskDocTitle(QWidget *owner, QString &title, int &targetIndex)
{
    AskDocTitle(owner, title, targetIndex, ListOpenDocuments());
}

void AskDocTitle(QWidget *owner, QString &title, int &targetIndex, const QStringList &openDocuments)
{
    targetIndex = 0;
    TfrmDocTitle dialog(owner, title, openDocuments);
    if (dialog.exec() == QDialog::Accepted) {
        title = dialog.Title();
        targetIndex = dialog.TargetIndex();
    } else {
        title.clear();
    }
}

TfrmDocTitle::TfrmDocTitle(QWidget *owner, const QString &pageTitle, const QStringList &openDocuments)
    : QDialog(owner), ui(new Ui::TfrmDocTitle)
{
    tarnvik::substituteDialogFont();
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);

    ui->ETitle->installEventFilter(this);
    connect(ui->ETitle, &QLineEdit::textChanged, this, &TfrmDocTitle::ETitleChange);
    // A list box reports a click also when the selection moves by keyboard.
    connect(ui->lbDocs, &QListWidget::currentRowChanged, this, &TfrmDocTitle::lbDocsClick);
    connect(ui->btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);

    ui->ETitle->setText(tarnvik::DocTitleProposal(pageTitle));
    ETitleChange();

    // Whole rows only, at least as high as the dialog font needs.
    const int row = qMax(kRowHeight, ui->lbDocs->fontMetrics().height());
    ui->lbDocs->setFixedHeight(qMax(ui->lbDocs->minimumHeight(), kVisibleRows * row + 2 * ui->lbDocs->frameWidth()));
    if (!openDocuments.isEmpty()) {
        ui->lbDocs->addItem(QStringLiteral("Neues Dokument"));
        ui->lbDocs->addItems(openDocuments);
        for (int i = 0; i < ui->lbDocs->count(); ++i)
            ui->lbDocs->item(i)->setSizeHint(QSize(0, row));
        ui->lbDocs->setCurrentRow(0);
        ui->lbDocs->setVisible(true);
        setOuterHeight(kHeightWithList);
    } else {
        ui->lbDocs->setVisible(false);
        setOuterHeight(kHeightWithoutList);
    }
    ui->ETitle->setFocus();
}

TfrmDocTitle::~TfrmDocTitle()
{
    delete ui;
}

QString TfrmDocTitle::Title() const
{
    return ui->ETitle->text();
}

int TfrmDocTitle::TargetIndex() const
{
    if (ui->lbDocs->isHidden())
        return 0;
    return qMax(0, ui->lbDocs->currentRow());
}

void TfrmDocTitle::setOuterHeight(int height)
{
    layout()->activate();
    // Never smaller than the controls need with the font in use.
    const QSize needed = minimumSizeHint();
    setFixedSize(qMax(398, needed.width()), qMax(height - kFrameAllowance, needed.height()));
}

void TfrmDocTitle::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Centred on the screen, not on the main window.
    const QWidget *anchor = parentWidget();
    if (QScreen *screen = anchor ? anchor->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TfrmDocTitle::eventFilter(QObject *watched, QEvent *event)
{
    // ETitleKeyPress: the characters a file name or the word processor
    // would stumble over are not taken; pasted text is not filtered.
    if (watched == ui->ETitle && event->type() == QEvent::KeyPress
        && tarnvik::TitleKeyRefused(static_cast<QKeyEvent *>(event)->text()))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TfrmDocTitle::ETitleChange()
{
    ui->btnOK->setEnabled(!ui->ETitle->text().isEmpty());
}

void TfrmDocTitle::lbDocsClick()
{
    ui->ETitle->setEnabled(ui->lbDocs->currentRow() == 0);
}
