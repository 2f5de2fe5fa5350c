#include "editor/Link.h"

#include "editor/Markup.h"
#include "state/DialogFont.h"
#include "ui_Link.h"

bool AskLink(QWidget *owner, QString &text)
{
    TfrmLink dialog(owner, text);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    text = dialog.LinkMarkup();
    return true;
}

TfrmLink::TfrmLink(QWidget *owner, const QString &label)
    : QDialog(owner), ui(new Ui::TfrmLink)
{
    tarnvik::substituteDialogFont();
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    // 370 x 146, or more where the system's font needs more room.
    const QSize needed = sizeHint();
    setFixedSize(qMax(370, needed.width()), qMax(146, needed.height()));
    ui->EName->setText(label);
    ui->EName->setCursorPosition(0);
    ui->EURL->end(false);
    ui->EURL->setFocus();
    connect(ui->btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmLink::~TfrmLink()
{
    delete ui;
}

QString TfrmLink::LinkMarkup() const
{
    return tarnvik::markup::linkMarkup(ui->EURL->text(), ui->EName->text());
}
