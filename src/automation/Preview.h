#pragma once

#include "browser/BrowserHost.h"

#include <QDialog>
#include <QString>
#include <QTimer>

class QWidget;
namespace Ui {
class TfrmPreview;
}

// Hands a post to the forum's own preview through its posting form, modally
// over `owner`; returns when the preview window has closed. True when the
// user published the post with "Abschicken" (the forum then holds the text).
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
    // -1 preparing, 0 template requested, 1 preview requested, 2 published.
    qint32 SendState = -1;

    // The post went out through "Abschicken" and the forum answered.
    bool Published() const { return SendState == 2 && m_answeredAfterSend; }

    // Handlers, named after control and event.
    void WebBrowserNavigateComplete2(const QString &address);
    void SendPost();
    void ButtonClick();
    void TimerCloseTimer();

Q_SIGNALS:
    // A page of the forum is shown after the submission; on its preview page
    // the send path ("Beitrag so OK? =>" and "Abschicken") is offered.
    void forumPageShown(bool previewPage);

private:
    void updateSendPath();

    Ui::TfrmPreview *ui;
    BrowserHost *m_browser = nullptr;
    QTimer TimerClose;
    QString m_workPage;
    bool m_answeredAfterSend = false;
    quint64 m_navigation = 0;
};
