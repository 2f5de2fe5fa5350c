#pragma once

#include "browser/BrowserHost.h"
#include "export/ThreadExport.h"
#include "state/Endpoints.h"

#include <QDeadlineTimer>
#include <QMainWindow>
#include <QPointer>

#include <functional>

class BrowserHost;
class QAction;
class QLabel;
namespace tarnvik::archive {
class ArchiveFeature;
}
namespace tarnvik::watch {
class WatchUi;
}
namespace Ui {
class TfrmMain;
}

// The main window: the forum in the embedded browser, the section and thread
// actions, the title strip with the page selector and the status bar.
class TfrmMain : public QMainWindow
{
    Q_OBJECT
public:
    // The browser comes from `makeBrowser` (the tests hand in a fake one);
    // by default from the program's one browser factory.
    explicit TfrmMain(BrowserFactory makeBrowser = {}, QWidget *parent = nullptr);
    ~TfrmMain() override;

    BrowserHost *WebBrowser() const { return m_browser; }
    Ui::TfrmMain *controls() const { return ui; }

    // Caption of the title strip: the page or thread title.
    QString titleCaption() const;
    QString statusText() const;

    void OpenForumPage(QString address);
    // Puts the archive's action on the toolbar and hands it every whole
    // thread shown.
    void attachArchive(tarnvik::archive::ArchiveFeature *archive);
    // Puts the actions for watched threads on the toolbar and hands them
    // every page processed.
    void attachWatch(tarnvik::watch::WatchUi *watch);

    // Opens a section's index, at the page of the page field when it is
    // the section shown, at its first page otherwise.
    void openSection(ForumKind forum);

    // Handlers, named after control and event.
    void actAnswerThreadExecute();
    void actNewThreadExecute();
    void actExportWordExecute();
    void actSettingsExecute();
    void actInfoExecute();
    void actEndeExecute();
    void FormShow();
    void FormActivate();
    void WebBrowserDocumentComplete(const QString &address);

    // Finished pages whose title scan is still waiting for the page text.
    bool titleScanPending() const { return m_pendingTitleScans > 0; }
    // The export under way, if any.
    tarnvik::ThreadExport *runningExport() const { return m_export; }

Q_SIGNALS:
    // The page processing of a finished document is complete (title included).
    void pageProcessed(const QString &address);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUpCommands();
    void sizeToolButton(QAction *action);
    // After the thread commands (and any a feature put behind them), before
    // the separator that leads to the settings.
    void addFeatureAction(QAction *action);
    void addHistoryActions();
    void setTitleCaption(const QString &caption);
    void injectControlM(QObject *receiver);

    // A forum section's action on the toolbar.
    struct Section {
        QAction *action = nullptr;
        ForumKind forum = Forums::None;
        int icon = 0;
    };

    Ui::TfrmMain *ui = nullptr;
    QList<Section> m_sections;
    BrowserHost *m_browser = nullptr;
    QLabel *m_statusLabel = nullptr;
    bool m_shown = false;
    bool m_inSettings = false;
    quint64 m_pageGeneration = 0;
    int m_pendingTitleScans = 0;
    // Until it expires, a lost maximised state is restored (see event()).
    QDeadlineTimer m_remaximize;
    QPointer<tarnvik::ThreadExport> m_export;
};
