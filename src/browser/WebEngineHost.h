#pragma once

#include "browser/BrowserHost.h"

#include <QUrl>

class FindBar;
class HangWatchdog;
class QWebEngineNewWindowRequest;
class QWebEngineView;
class QWebEngineProfile;
class TarnvikWebPage;
namespace Ui {
class PageProblem;
}

// The browser host on Qt WebEngine. The program's own scripts run in the
// application's isolated world, apart from the page's scripts, and get their
// arguments as JSON. A page that stops answering or whose process dies is
// reported in a strip above the page, with a way to load it again. Links
// meant for a new window open where `openNewWindowLink` sends them; the
// keys of a desktop browser zoom the page and find text in it.
class WebEngineHost : public BrowserHost
{
    Q_OBJECT
public:
    explicit WebEngineHost(QWidget *parentWidget, QWebEngineProfile *profile = nullptr);
    ~WebEngineHost() override;

    QWidget *widget() override;
    void Navigate(const QString &address) override;
    void goBack() override;
    void goForward() override;
    void allowLocalPageToSubmitToWeb() override;
    void setFileChooser(FileChooser chooser) override;
    void activateFileField(std::function<void(bool)> done) override;
    QString DocumentTitle() const override;
    void requestBodyOuterHtml(std::function<void(const QString &)> callback, const QString &stopAfter = {}) override;
    void requestFormCount(std::function<void(int)> callback) override;
    void requestFormElements(int form, std::function<void(const QList<FormElementInfo> &)> callback) override;
    void runFormBatch(const QList<FormStep> &steps, std::function<void(const FormBatchResult &)> callback) override;

    QWebEngineView *view() const { return m_view; }
    TarnvikWebPage *page() const { return m_page; }
    FindBar *findBar() const { return m_findBar; }

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
    void onNewWindowRequested(QWebEngineNewWindowRequest &request);
    void runScript(const QString &body, std::function<void(const QVariant &)> callback);
    void showProblem(const QString &text);
    void hideProblem();
    void reloadAfterProblem();

    QWidget *m_container = nullptr;
    Ui::PageProblem *m_problemUi = nullptr;
    QWidget *m_problem = nullptr;
    QWebEngineView *m_view = nullptr;
    TarnvikWebPage *m_page = nullptr;
    FindBar *m_findBar = nullptr;
    quint64 m_loadGeneration = 0;
    bool m_navigateCompleted = false;
    QString m_helpers;

    HangWatchdog *m_watchdog = nullptr;
    bool m_processGone = false;
    bool m_reloadAfterKill = false; // a hung process is being ended for a reload
};
