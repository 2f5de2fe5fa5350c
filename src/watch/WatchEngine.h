#pragma once

#include "watch/CheckPlan.h"
#include "watch/CheckSchedule.h"
#include "watch/PageFetcher.h"
#include "watch/WatchStore.h"
#include "watch/WatchedThread.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>

namespace tarnvik::watch {

struct CheckStatus {
    bool running = false;
    QDateTime nextCheck;
    QString problem; // why the last check failed; empty when it went well
};

// Keeps the watched threads and checks them: on a timer while the program
// runs, or at once when asked. Meant to live on a thread of its own (it
// touches the database and reads pages there); the windows learn of every
// change through its signals.
class WatchEngine : public QObject
{
    Q_OBJECT
public:
    struct Options {
        QString databasePath; // empty: nothing is kept beyond this run
        qint64 intervalSeconds = 15 * 60;
        QString forumHost;    // "host" or "host:port"
        bool scheduled = true; // false: checks run only when asked for
        std::function<double()> random; // in [0, 1); the system's generator by default
    };

    explicit WatchEngine(Options options, QObject *parent = nullptr);
    ~WatchEngine() override;

    // Opens the store, announces the threads kept there and plans the first check.
    void start();

    // Starts watching the thread a page shows, with the messages the page
    // lists taken as read. `address` is a single message's or a whole
    // thread's page, `bodyHtml` its markup.
    void watch(const QString &address, const QString &bodyHtml, const QString &pageTitle);
    void unwatch(qint32 root);
    // A page was shown in the program: what it shows of a watched thread is
    // read. Index pages are remembered as where a newly watched thread is
    // looked for first. `bodyHtml` may be empty when the address tells enough.
    void pageShown(const QString &address, const QString &bodyHtml);
    void checkNow();

    QList<WatchedThread> threads() const { return m_threads.values(); }
    bool checking() const { return m_plan != nullptr; }

Q_SIGNALS:
    void threadsChanged(const QList<tarnvik::watch::WatchedThread> &threads);
    // A check found messages in `thread` that were not there before.
    void newMessages(const tarnvik::watch::WatchedThread &thread);
    // The watched thread a shown page belongs to (0: none or not known).
    void shownThread(const QString &address, qint32 root);
    void statusChanged(const tarnvik::watch::CheckStatus &status);
    void storeProblem(const QString &message);
    void checkDone(int requests);

private:
    struct CachedPage {
        QByteArray etag;
        QByteArray lastModified;
        QSet<qint32> roots;
        int lastPage = 0;
    };
    void startCheck();
    void step();
    // `sent`: the cached page whose validators went with the request.
    void received(const CheckPlan::Request &request, const QString &url, const CachedPage &sent, const Fetched &page);
    void take(qint32 root, const QString &section, const QList<PageMessage> &listed);
    void finishCheck(const QString &problem, std::optional<qint64> retryAfter = std::nullopt);
    void schedule(qint64 delayMs);
    // Writes the threads under `roots` to the store; changed() also tells the windows.
    void save(const QList<qint32> &roots, bool withMessages);
    void changed(const QList<qint32> &roots, bool withMessages);
    qint32 rootOf(qint32 number) const;
    double random() const;

    Options m_options;
    WatchStore m_store;
    PageFetcher m_fetcher;
    QTimer m_timer;
    CheckSchedule m_schedule;
    CheckStatus m_status;
    QMap<qint32, WatchedThread> m_threads;
    QHash<QString, int> m_lastIndexPage;
    QHash<QString, CachedPage> m_cache;
    std::unique_ptr<CheckPlan> m_plan;
    QSet<qint32> m_withNews;
    QSet<qint32> m_messagesChanged;
    int m_requests = 0;
};

} // namespace tarnvik::watch

Q_DECLARE_METATYPE(tarnvik::watch::CheckStatus)
