#pragma once

#include <QDialog>
#include <QStringList>

namespace Ui {
class TfrmDocTitle;
}

// Asks for the title of the exported document and where it goes: a new
// document (target 0) or the end of the i-th document open in the word
// processor (target i). `title` comes in with the page title and goes out
// with the chosen title, or empty when the user cancelled.
void AskDocTitle(QWidget *owner, QString &title, int &targetIndex);
// The same with the open documents given.
void AskDocTitle(QWidget *owner, QString &title, int &targetIndex, const QStringList &openDocuments);

// The title dialog. The document list shows only when documents are open.
class TfrmDocTitle : public QDialog
{
    Q_OBJECT
public:
    TfrmDocTitle(QWidget *owner, const QString &pageTitle, const QStringList &openDocuments);
    ~TfrmDocTitle() override;

    QString Title() const;
    // 0 for a new document, else the chosen open document counted from 1.
    int TargetIndex() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void ETitleChange();
    void lbDocsClick();
    void setOuterHeight(int height);

    Ui::TfrmDocTitle *ui;
};
