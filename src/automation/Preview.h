#pragma once

#include "browser/BrowserHost.h"
#include "state/Endpoints.h"

#include <QDialog>
#include <QString>
#include <QTimer>

class QWidget;
namespace Ui {
class TfrmPreview;
}

// Hands a post to the forum's own preview through its posting form, modally
// over `owner`; returns when the preview window has closed. True when the
// user published the post with "Abschicken" and the forum confirmed it (the
// forum then holds the text). While the forum's answer is outstanding the
// window does not close, so the answer is never missed.
bool OpenPreview(QWidget *owner, qint32 threadNumber, const QString &body, const QString &subject);

// The preview window: loads the posting template, fills the forum's posting
// form with the post and the user's settings and submits it; the forum
// answers with its own preview page, from which the post is published.
class TfrmPreview : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmPreview(QWidget *owner);
    ~TfrmPreview() override;

    // Stores the post, writes the work page from the template and starts
    // loading it. False, after the standard error report, when the template
    // cannot be read or the work page cannot be written.
    bool Prepare(qint32 threadNumber, const QString &body, const QString &subject);

    BrowserHost *WebBrowser() const { return m_browser; }
    Ui::TfrmPreview *controls() const { return ui; }
    QString WorkPage() const { return m_workPage; }

    QString PostSubject;
    QString PostBody;
    qint32 ThreadNo = 0;
    // -1 preparing, 0 template requested, 1 preview requested, 2 sent with
    // "Abschicken" (for good: a post is sent once per window).
    qint32 SendState = -1;

    // The post went out through "Abschicken" and the forum confirmed it.
    bool Published() const { return m_outcome == Outcome::Published; }
    // "Abschicken" was clicked and the forum's answer is still outstanding.
    bool Sending() const { return m_outcome == Outcome::Sending; }

    // Closes the window, except while the post is on its way: then it says
    // so and closes when the answer is in (or, after long silence of the
    // forum, on the next request).
    void reject() override;

    // Handlers, named after control and event.
    void WebBrowserNavigateComplete2(const QString &address);
    void SendPost();
    void ButtonClick();
    void TimerCloseTimer();

Q_SIGNALS:
    // A page of the forum is shown after the submission; on its preview page
    // the send path ("Beitrag so OK? =>" and "Abschicken") is offered.
    void forumPageShown(bool previewPage);
    // The forum answered "Abschicken": with its confirmation or otherwise.
    void publishAnswered(bool published);

private:
    enum class Outcome { None, Sending, Published, NotPublished };

    void fillWorkPage(quint64 navigation);
    void updateSendPath();
    void sendFailed(const QString &error);
    void takeAnswer(const QString &address);
    void showNote(const QString &text, bool warning);
    void forumSilent();

    Ui::TfrmPreview *ui;
    BrowserHost *m_browser = nullptr;
    QTimer TimerClose;
    QTimer m_answerWait; // how long a close request waits for the forum
    QString m_workPage;
    QString m_pageAddress; // of the page shown, as its navigation reported it
    ForumKind m_forum = Forums::None;
    Outcome m_outcome = Outcome::None;
    bool m_closeWanted = false;
    bool m_forumSilent = false;
    quint64 m_navigation = 0;
};
