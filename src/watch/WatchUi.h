#pragma once

#include "watch/WatchEngine.h"
#include "watch/Watched.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <functional>

class BrowserHost;
class QAction;
class QMainWindow;

namespace tarnvik::watch {

class DesktopNotifier;

// Watching threads in the main window: the toolbar actions "Beobachten [F7]"
// and "Neues [F8]", the window "Beobachtete Themen" and the desktop
// notifications. The checks run on a thread of their own.
class WatchUi : public QObject
{
    Q_OBJECT
public:
    struct Setup {
        QString databasePath;
        qint64 intervalSeconds = 15 * 60;
    };

    // The main window puts the actions on its toolbar; threads open in
    // `browser`; `pageTitle` gives the title of the page processed last.
    WatchUi(QMainWindow *window, BrowserHost *browser, std::function<QString()> pageTitle, const Setup &setup);
    ~WatchUi() override;

    QAction *watchAction() const { return m_watch; }
    QAction *newsAction() const { return m_news; }
    TfrmWatched *threadsWindow() const { return m_list; }

public Q_SLOTS:
    // A page has been processed in the main window.
    void pageShown(const QString &address);
    void showThreads();

private:
    void threadsChanged(const QList<WatchedThread> &threads);
    void shownThread(const QString &address, qint32 root);
    void announce(const WatchedThread &thread);
    void watchTriggered(bool checked);
    void open(qint32 root);
    void syncWatchAction();
    qint32 shownRoot() const;
    template<typename F>
    void toEngine(F &&work)
    {
        QMetaObject::invokeMethod(m_engine, std::forward<F>(work), Qt::QueuedConnection);
    }

    QMainWindow *m_window;
    BrowserHost *m_browser;
    std::function<QString()> m_pageTitle;
    QThread m_thread;
    WatchEngine *m_engine = nullptr;
    DesktopNotifier *m_notifier = nullptr;
    QAction *m_watch = nullptr;
    QAction *m_news = nullptr;
    QPointer<TfrmWatched> m_list;
    QList<WatchedThread> m_threads;
    QHash<qint32, qint32> m_rootOf; // every known message number → its thread
    CheckStatus m_status;
    QString m_shownAddress;
    ForumAddress m_shown; // what m_shownAddress shows
    qint32 m_shownRoot = 0;
};

} // namespace tarnvik::watch
