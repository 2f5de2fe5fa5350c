#pragma once

#include <QDialog>

namespace Ui {
class TfrmPicID;
}

// Asks for a picture: a number on the picture server or an external
// address, and an optional size. On OK returns true with the picture's
// address and the size attributes (empty unless width and height are both
// given); on cancel returns false and sets neither.
bool AskPicture(QWidget *owner, QString &address, QString &sizeAttributes);

// The picture dialog. "OK" follows the last change of the number or the
// address field; choosing a radio button leaves it as it is.
class TfrmPicID : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmPicID(QWidget *owner);
    ~TfrmPicID() override;

    QString PictureAddress() const;
    QString SizeAttributes() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void EIDChange();
    void EExternChange();
    void rbPellkampClick();
    void rbExternClick();

    Ui::TfrmPicID *ui;
};
