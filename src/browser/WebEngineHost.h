#pragma once

#include "browser/BrowserHost.h"

#include <QPointer>
#include <QTimer>
#include <QUrl>

class QWebEngineView;
class QWebEngineProfile;
class TarnvikWebPage;
namespace Ui {
class PageProblem;
}

// The browser host on Qt WebEngine. The program's own scripts run in the
// application's isolated world, apart from the page's scripts, and get their
// arguments as JSON. A page that stops answering or whose process dies is
// reported in a strip above the page, with a way to load it again.
class WebEngineHost : public BrowserHost
{
    Q_OBJECT
public:
    explicit WebEngineHost(QWidget *parentWidget, QWebEngineProfile *profile = nullptr);
    ~WebEngineHost() override;

    QWidget *widget() override;
    void Navigate(const QString &address) override;
    QString DocumentTitle() const override;
    void requestBodyOuterHtml(std::function<void(const QString &)> callback, const QString &stopAfter = {}) override;
    void requestFormCount(std::function<void(int)> callback) override;
    void requestFormElements(int form, std::function<void(const QList<FormElementInfo> &)> callback) override;
    void runFormBatch(const QList<FormStep> &steps, std::function<void(const FormBatchResult &)> callback) override;

    QWebEngineView *view() const { return m_view; }
    TarnvikWebPage *page() const { return m_page; }

    // What the strip above the page says, empty while it is hidden.
    QString problemText() const;
    // How long a page may leave the program's checks unanswered before it
    // counts as hung (tests shorten it).
    static void setHangThreshold(int milliseconds);

    // Sets up the process for the engine; call before the application
    // object is created.
    static void prepareProcess();

    // The address a plain local path or a typed address is loaded as.
    static QUrl addressToUrl(const QString &address);

Q_SIGNALS:
    // The page stopped answering, or its process ended.
    void pageProblem(const QString &text);

private:
    void onLoadStarted();
    void onDocumentReady(const QString &address);
    void onLoadFinished(bool ok);
    void emitNavigateComplete(const QString &address);
    void runScript(const QString &body, std::function<void(const QVariant &)> callback);
    void checkPageAnswers();
    void showProblem(const QString &text);
    void hideProblem();
    void reloadAfterProblem();

    QWidget *m_container = nullptr;
    Ui::PageProblem *m_problemUi = nullptr;
    QWidget *m_problem = nullptr;
    QWebEngineView *m_view = nullptr;
    TarnvikWebPage *m_page = nullptr;
    quint64 m_loadGeneration = 0;
    bool m_navigateCompleted = false;
    QString m_helpers;

    // The check that the page's process answers.
    QTimer m_watchdog;
    qint64 m_probeSentAt = -1; // ms of the steady clock, -1 when no check is out
    quint64 m_probeNumber = 0;
    bool m_hung = false;
    bool m_processGone = false;
    bool m_reloadAfterKill = false; // a hung process is being ended for a reload
};
