#include "editor/PicID.h"

#include "editor/Markup.h"
#include "editor/PictureChoice.h"
#include "state/Endpoints.h"
#include "state/DialogFont.h"
#include "ui_PicID.h"

#include <QKeyEvent>
#include <QScreen>

bool AskPicture(QWidget *owner, QString &address, QString &sizeAttributes)
{
    TfrmPicID dialog(owner);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    address = dialog.PictureAddress();
    sizeAttributes = dialog.SizeAttributes();
    return true;
}

TfrmPicID::TfrmPicID(QWidget *owner)
    : QDialog(owner), ui(new Ui::TfrmPicID)
{
    tarnvik::substituteDialogFont();
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    // 318 x 230, or more where the system's font needs more room, so that no
    // caption is cut off.
    const QSize needed = sizeHint();
    setFixedSize(qMax(318, needed.width()), qMax(230, needed.height()));
    ui->line1->setAccessibleName(QStringLiteral("Trennlinie"));
    ui->line2->setAccessibleName(QStringLiteral("Trennlinie"));

    for (QLineEdit *field : {ui->EID, ui->EWidth, ui->EHeight})
        field->installEventFilter(this);

    connect(ui->EID, &QLineEdit::textChanged, this, &TfrmPicID::EIDChange);
    connect(ui->EExtern, &QLineEdit::textChanged, this, &TfrmPicID::EExternChange);
    connect(ui->rbPellkamp, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rbPellkampClick();
    });
    connect(ui->rbExtern, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rbExternClick();
    });
    connect(ui->btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    // Centred on the screen, not on the editor.
    if (QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    ui->btnCancel->setFocus();
}

TfrmPicID::~TfrmPicID()
{
    delete ui;
}

QString TfrmPicID::PictureAddress() const
{
    if (ui->rbPellkamp->isChecked())
        return tarnvik::pictureAddress(ui->EID->text());
    return ui->EExtern->text();
}

QString TfrmPicID::SizeAttributes() const
{
    return tarnvik::markup::sizeAttributes(ui->EWidth->text(), ui->EHeight->text());
}

bool TfrmPicID::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (tarnvik::picture::digitFilterRefuses(key->key(), key->modifiers(), key->text()))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmPicID::EIDChange()
{
    ui->btnOK->setEnabled(tarnvik::picture::idAcceptable(ui->EID->text()));
}

void TfrmPicID::EExternChange()
{
    ui->btnOK->setEnabled(tarnvik::picture::externalAddressAcceptable(ui->EExtern->text()));
}

void TfrmPicID::rbPellkampClick()
{
    ui->EExtern->setEnabled(false);
    ui->EID->setEnabled(true);
    ui->EID->setFocus();
}

void TfrmPicID::rbExternClick()
{
    ui->EExtern->setEnabled(true);
    ui->EExtern->setFocus();
    ui->EExtern->end(false);
    ui->EID->setEnabled(false);
}
