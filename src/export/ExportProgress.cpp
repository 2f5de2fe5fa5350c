#include "export/ExportProgress.h"

#include "state/DialogFont.h"
#include "ui_ExportProgress.h"

#include <QCloseEvent>
#include <QPushButton>

TfrmExportProgress::TfrmExportProgress(QWidget *owner) : QDialog(owner), ui(new Ui::TfrmExportProgress)
{
    tarnvik::substituteDialogFont();
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setWindowModality(Qt::WindowModal);
    connect(ui->btnCancel, &QPushButton::clicked, this, &TfrmExportProgress::reject);
    // The detail line keeps its height while it is blank, so the dialog
    // does not jump when a stage text arrives.
    ui->lblDetail->setMinimumHeight(ui->lblDetail->fontMetrics().height());
    const QSize needed = sizeHint();
    setFixedSize(qMax(340, needed.width()), qMax(110, needed.height()));
}

TfrmExportProgress::~TfrmExportProgress()
{
    delete ui;
}

void TfrmExportProgress::setProgress(const QString &text, int done, int total)
{
    ui->lblProgress->setText(text);
    ui->pbProgress->setRange(0, qMax(0, total));
    ui->pbProgress->setValue(total > 0 ? qBound(0, done, total) : 0);
}

void TfrmExportProgress::setCancellable(bool cancellable)
{
    m_cancellable = cancellable;
    ui->btnCancel->setVisible(cancellable);
}

QString TfrmExportProgress::text() const
{
    return ui->lblProgress->text();
}

void TfrmExportProgress::setDetail(const QString &detail)
{
    ui->lblDetail->setText(detail);
}

QString TfrmExportProgress::detail() const
{
    return ui->lblDetail->text();
}

// Escape, the button and the close button all end here.
void TfrmExportProgress::reject()
{
    if (m_cancellable)
        Q_EMIT cancelRequested();
}

void TfrmExportProgress::closeEvent(QCloseEvent *event)
{
    event->ignore();
    reject();
}
