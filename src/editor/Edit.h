#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class EditSpelling;
class QMenu;
class QTextCursor;

namespace Ui {
class TfrmEdit;
}
namespace tarnvik::postfile {
class DraftKeeper;
struct Post;
} // namespace tarnvik::postfile

// Opens the post editor modally over `owner`: for a new post when NewPost is
// true, else for an answer to the thread shown.
void OpenEditor(QWidget *owner, bool NewPost);

// The post editor: a subject, a plain-text body, and commands that put the
// forum's markup into the body. Its text is kept in a draft file in the work
// folder while it is open, so closing the window loses nothing; a new post
// has one draft, an answer one per thread. "Schliessen" discards the draft
// after asking whether to keep text that was not sent; a post published
// from the preview discards it without a question.
class TfrmEdit : public QDialog
{
    Q_OBJECT
public:
    TfrmEdit(QWidget *owner, bool NewPost);
    ~TfrmEdit() override;

    // The file dialogs of "Öffnen" and "Speichern": the chosen file name, or
    // an empty text when the user cancels. Tests put in their own answers.
    enum class FileDialogKind { Open, Save };
    using FileChooser = std::function<QString(QWidget *parent, FileDialogKind kind)>;
    // Installs a chooser (an empty one restores the standard dialogs) and
    // returns the one it replaces.
    static FileChooser setFileChooser(FileChooser chooser);

    // The preview of "Vorschau": true when the user published the post.
    // Tests put in their own; an empty one restores the real preview.
    using PreviewOpener =
        std::function<bool(QWidget *owner, qint32 threadNumber, const QString &body, const QString &subject)>;
    static PreviewOpener setPreviewOpener(PreviewOpener opener);

    bool NewPost() const { return m_NewPost; }
    // The draft file of this editor: for a new post, or for an answer to the
    // thread shown when the editor opened. Empty when no folder is writable.
    const QString &DraftFileName() const { return m_draftFile; }

    // The body as it is handed on: CR LF between lines. Selection positions
    // count a line break as its two characters, like the body text.
    QString BodyText() const;
    void SetBodyText(const QString &text);
    qsizetype SelStart() const;
    qsizetype SelLength() const;
    void SetSelection(qsizetype start, qsizetype length = 0);
    QString Subject() const;

    QMenu *PicturePopup() const { return popPicture; }
    QMenu *BodyPopup() const { return popMemo; }
    EditSpelling *Spelling() const { return m_spelling; }

    // Puts a picture line after the caret's line and marks the subject.
    void InsertPictureLine(const QString &line);
    // Brings the recent-picture entries of the picture menu in line with the
    // picture-number history.
    void RebuildPictureMenu();
    // Inserts the picture line for a number of the history.
    void InsertRecentPicture(qint32 number);

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupCommands();
    void setupMenus();
    void setupPictureMenu();
    void loadStartText();
    void showDraftNote(const QString &error);
    void applyCursor(const QTextCursor &cursor);
    void setSubject(const QString &subject);
    void setBody(const QString &lfText);
    tarnvik::postfile::Post currentPost() const;

    void actOpenExecute();
    void actSaveExecute();
    void actListExecute();
    void actLinkExecute();
    void actInsertPicExecute();
    void actPreviewExecute();
    void actCloseExecute();
    void mnuUploadClick();
    void Verwalten1Click();
    void EBetreffChange();

    Ui::TfrmEdit *ui;
    const bool m_NewPost;
    QString m_draftFile;
    QMenu *popPicture = nullptr;
    QMenu *popMemo = nullptr;
    EditSpelling *m_spelling = nullptr;
    std::unique_ptr<tarnvik::postfile::DraftKeeper> m_draft;
};
