// The editor's pictures: the "Bild" command and its menu of recent pictures.
#include "editor/Edit.h"

#include "automation/PicUpload.h"
#include "editor/Markup.h"
#include "editor/PicID.h"
#include "editor/PictureChoice.h"
#include "state/DModul.h"
#include "state/Endpoints.h"
#include "ui_Edit.h"

#include <QMenu>
#include <QToolButton>

using namespace tarnvik;

void TfrmEdit::setupPictureMenu()
{
    popPicture = new QMenu(this);
    popPicture->setObjectName(QStringLiteral("popPicture"));
    QAction *mnuUpload = popPicture->addAction(QStringLiteral("&Hochladen"));
    mnuUpload->setObjectName(QStringLiteral("mnuUpload"));
    QAction *Verwalten1 = popPicture->addAction(QStringLiteral("&Verwalten"));
    Verwalten1->setObjectName(QStringLiteral("Verwalten1"));
    popPicture->addSeparator();
    connect(mnuUpload, &QAction::triggered, this, &TfrmEdit::mnuUploadClick);
    connect(Verwalten1, &QAction::triggered, this, &TfrmEdit::Verwalten1Click);

    if (auto *button = qobject_cast<QToolButton *>(ui->ToolBar1->widgetForAction(ui->actInsertPic))) {
        button->setMenu(popPicture);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

void TfrmEdit::actInsertPicExecute()
{
    QString address;
    QString sizeAttributes;
    if (!AskPicture(this, address, sizeAttributes))
        return;
    InsertPictureLine(markup::pictureLine(address, sizeAttributes));
}

void TfrmEdit::InsertPictureLine(const QString &line)
{
    applyCursor(markup::insertPictureLine(ui->Memo->textCursor(), line));
    setSubject(markup::subjectWithPictureMarker(ui->EBetreff->text()));
}

void TfrmEdit::RebuildPictureMenu()
{
    const QList<QAction *> entries = popPicture->actions();
    for (qsizetype i = entries.size() - 1; i >= 3; --i) {
        popPicture->removeAction(entries.at(i));
        delete entries.at(i);
    }
    if (!DM)
        return;
    for (const QString &entry : DM->PicIDs()) {
        QAction *action = popPicture->addAction(picture::recentPictureCaption(entry));
        // An entry that is no whole number is shown but inserts nothing.
        const std::optional<qint32> number = picture::wholeNumber(entry);
        action->setEnabled(number.has_value());
        if (number) {
            const qint32 value = *number;
            connect(action, &QAction::triggered, this, [this, value] { InsertRecentPicture(value); });
        }
    }
}

void TfrmEdit::InsertRecentPicture(qint32 number)
{
    InsertPictureLine(markup::recentPictureLine(pictureAddress(QString::number(number))));
}

void TfrmEdit::mnuUploadClick()
{
    if (OpenPictureUpload(this, true))
        RebuildPictureMenu();
}

void TfrmEdit::Verwalten1Click()
{
    if (OpenPictureUpload(this, false))
        RebuildPictureMenu();
}
