#include "watch/WatchUi.h"

#include "browser/BrowserHost.h"
#include "state/Endpoints.h"
#include "state/UrlClass.h"
#include "watch/DesktopNotifier.h"
#include "watch/Watched.h"

#include <QAction>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMessageBox>

namespace tarnvik::watch {

namespace {
const QString kNews = QStringLiteral("Neues [F8]");

QAction *makeAction(QObject *parent, const QString &caption, const char *name, Qt::Key key, const QString &hint,
                    const QString &icon)
{
    auto *action = new QAction(QIcon(QStringLiteral(":/icons/24/%1.svg").arg(icon)), caption, parent);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(QKeySequence(key));
    action->setToolTip(hint);
    return action;
}
} // namespace

WatchUi::WatchUi(QMainWindow *window, BrowserHost *browser, std::function<QString()> pageTitle, const Setup &setup)
    : QObject(window), m_window(window), m_browser(browser), m_pageTitle(std::move(pageTitle))
{
    prepareHtmlReading();
    m_watch = makeAction(this, QStringLiteral("Beobachten [F7]"), "actWatch", Qt::Key_F7,
                         QStringLiteral("Dieses Thema beobachten"), QStringLiteral("Watch"));
    m_watch->setCheckable(true);
    m_watch->setEnabled(false);
    m_news = makeAction(this, kNews, "actNews", Qt::Key_F8, QStringLiteral("Beobachtete Themen"),
                        QStringLiteral("News"));
    connect(m_watch, &QAction::triggered, this, &WatchUi::watchTriggered);
    connect(m_news, &QAction::triggered, this, &WatchUi::showThreads);

    m_notifier = new DesktopNotifier(QGuiApplication::desktopFileName(), QDBusConnection::sessionBus(), this);
    connect(m_notifier, &DesktopNotifier::activated, this, &WatchUi::open);

    WatchEngine::Options options;
    options.databasePath = setup.databasePath;
    options.intervalSeconds = setup.intervalSeconds;
    options.forumHost = endpoints().forumHost;
    m_engine = new WatchEngine(options);
    m_engine->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_engine, &QObject::deleteLater);
    connect(m_engine, &WatchEngine::threadsChanged, this, &WatchUi::threadsChanged);
    connect(m_engine, &WatchEngine::newMessages, this, &WatchUi::announce);
    connect(m_engine, &WatchEngine::shownThread, this, &WatchUi::shownThread);
    connect(m_engine, &WatchEngine::statusChanged, this, [this](const CheckStatus &status) {
        m_status = status;
        if (m_list)
            m_list->setStatus(status);
    });
    connect(m_engine, &WatchEngine::storeProblem, this, [this](const QString &message) {
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tarnvik"), message, QMessageBox::Ok, m_window);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
    m_thread.setObjectName(QStringLiteral("Beobachten"));
    m_thread.start();
    toEngine([engine = m_engine] { engine->start(); });
}

WatchUi::~WatchUi()
{
    m_thread.quit();
    m_thread.wait();
}

qint32 WatchUi::shownRoot() const
{
    if (m_shown.message.wholeThread)
        return m_shown.message.number;
    return m_rootOf.value(m_shown.message.number, m_shownRoot);
}

void WatchUi::syncWatchAction()
{
    const qint32 root = shownRoot();
    m_watch->setChecked(root != 0 && std::any_of(m_threads.cbegin(), m_threads.cend(),
                                                 [root](const WatchedThread &t) { return t.root == root; }));
}

void WatchUi::pageShown(const QString &address)
{
    m_shownAddress = address;
    m_shown = forumAddress(address);
    m_shownRoot = 0;
    const bool threadPage = classifyAddress(lowerAscii(address)).threadNumber > 0 && m_shown.message.number > 0;
    m_watch->setEnabled(threadPage);
    syncWatchAction();
    // The page's text is needed where it tells which messages of a watched
    // thread were seen or which thread a message belongs to.
    const bool needText = threadPage && (m_shown.message.wholeThread ? m_watch->isChecked()
                                                                     : shownRoot() == 0 && !m_threads.isEmpty());
    if (!needText) {
        toEngine([engine = m_engine, address] { engine->pageShown(address, {}); });
        return;
    }
    QPointer<WatchUi> self(this);
    m_browser->requestBodyOuterHtml([self, address](const QString &body) {
        if (self)
            self->toEngine([engine = self->m_engine, address, body] { engine->pageShown(address, body); });
    });
}

void WatchUi::shownThread(const QString &address, qint32 root)
{
    if (address != m_shownAddress)
        return;
    m_shownRoot = root;
    syncWatchAction();
}

void WatchUi::watchTriggered(bool checked)
{
    if (!checked) {
        if (const qint32 root = shownRoot())
            toEngine([engine = m_engine, root] { engine->unwatch(root); });
        return;
    }
    const QString address = m_shownAddress;
    const QString title = m_pageTitle ? m_pageTitle() : QString();
    QPointer<WatchUi> self(this);
    m_browser->requestBodyOuterHtml([self, address, title](const QString &body) {
        if (!self)
            return;
        if (address != self->m_shownAddress) {
            self->syncWatchAction();
            return;
        }
        self->toEngine([engine = self->m_engine, address, body, title] { engine->watch(address, body, title); });
    });
}

void WatchUi::threadsChanged(const QList<WatchedThread> &threads)
{
    QHash<qint32, int> before;
    for (const WatchedThread &t : std::as_const(m_threads))
        before.insert(t.root, t.newCount());
    m_threads = threads;
    m_rootOf.clear();
    int total = 0;
    for (const WatchedThread &t : threads) {
        m_rootOf.insert(t.root, t.root);
        for (const KnownMessage &m : t.messages)
            m_rootOf.insert(m.number, t.root);
        const int count = t.gone ? 0 : t.newCount();
        total += count;
        if (count == 0 && before.value(t.root) > 0)
            m_notifier->withdraw(t.root);
        before.remove(t.root);
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        m_notifier->withdraw(it.key());
    m_news->setText(total > 0 ? QStringLiteral("Neues (%1) [F8]").arg(total) : kNews);
    syncWatchAction();
    if (m_list)
        m_list->setThreads(threads);
}

void WatchUi::announce(const WatchedThread &thread)
{
    const KnownMessage *newest = thread.newest(true);
    m_notifier->show(thread.root, QStringLiteral("Neue Antworten: %1").arg(thread.title),
                     QStringLiteral("%1 neue Beiträge, zuletzt von %2")
                         .arg(thread.newCount())
                         .arg(newest ? newest->author : QString()));
}

void WatchUi::open(qint32 root)
{
    const auto it = std::find_if(m_threads.cbegin(), m_threads.cend(),
                                 [root](const WatchedThread &t) { return t.root == root; });
    if (it == m_threads.cend())
        return;
    const QString host = endpoints().forumHost;
    const qint32 first = it->firstNew();
    m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_browser->Navigate(first ? messageUrl(host, it->section, first) : wholeThreadUrl(host, it->section, root));
}

void WatchUi::showThreads()
{
    if (!m_list) {
        m_list = new TfrmWatched(m_window);
        connect(m_list, &TfrmWatched::openRequested, this, [this](qint32 root) {
            m_list->close();
            open(root);
        });
        connect(m_list, &TfrmWatched::unwatchRequested, this,
                [this](qint32 root) { toEngine([engine = m_engine, root] { engine->unwatch(root); }); });
        connect(m_list, &TfrmWatched::checkRequested, this,
                [this] { toEngine([engine = m_engine] { engine->checkNow(); }); });
    }
    m_list->setThreads(m_threads);
    m_list->setStatus(m_status);
    m_list->show();
    m_list->raise();
    m_list->activateWindow();
}

} // namespace tarnvik::watch
