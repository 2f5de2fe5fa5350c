#pragma once

#include <QDialog>

namespace Ui {
class TfrmInfo;
}

// Opens the info dialog modally over `owner`.
void OpenInfoDialog(QWidget *owner);

// Version, author, mail link and the history of changes.
class TfrmInfo : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmInfo(QWidget *parent = nullptr);
    ~TfrmInfo() override;

    Ui::TfrmInfo *controls() const { return ui; }

    // Starts the user's mail program with a message to the author.
    void LeMailClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Ui::TfrmInfo *ui = nullptr;
};
