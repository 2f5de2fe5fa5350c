#include "watch/WatchEngine.h"

#include <QRandomGenerator>

namespace tarnvik::watch {

namespace {
constexpr qsizetype kMaxCachedPages = 1000;
constexpr qsizetype kMaxPageBytes = 64 * 1024 * 1024;

// A page the browser shows, as its markup.
QByteArray utf8Of(const QString &bodyHtml)
{
    return bodyHtml.size() > kMaxPageBytes / 4 ? QByteArray() : bodyHtml.toUtf8();
}

QList<PageMessage> shownWholeThread(const QString &bodyHtml)
{
    return readWholeThread(utf8Of(bodyHtml), QByteArrayLiteral("UTF-8"));
}

// The thread that a single message's page shows in its tree.
std::optional<PageThread> shownTreeOf(qint32 number, const QString &bodyHtml)
{
    for (const PageThread &t : readThreadLists(utf8Of(bodyHtml), QByteArrayLiteral("UTF-8")).threads) {
        if (t.contains(number))
            return t;
    }
    return std::nullopt;
}
} // namespace

WatchEngine::WatchEngine(Options options, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_fetcher(this), m_timer(this),
      m_schedule(m_options.intervalSeconds)
{
    qRegisterMetaType<tarnvik::watch::WatchedThread>();
    qRegisterMetaType<QList<tarnvik::watch::WatchedThread>>();
    qRegisterMetaType<tarnvik::watch::CheckStatus>();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &WatchEngine::startCheck);
}

WatchEngine::~WatchEngine() = default;

double WatchEngine::random() const
{
    return m_options.random ? m_options.random() : QRandomGenerator::global()->generateDouble();
}

void WatchEngine::start()
{
    QString message;
    if (!m_options.databasePath.isEmpty()) {
        const bool opened = m_store.open(m_options.databasePath, &message);
        if (!message.isEmpty())
            Q_EMIT storeProblem(opened ? message
                                       : message + QStringLiteral(" Die beobachteten Themen gelten nur, "
                                                                  "solange Tarnvik läuft."));
    }
    for (const WatchedThread &t : m_store.load())
        m_threads.insert(t.root, t);
    Q_EMIT threadsChanged(threads());
    if (m_options.scheduled)
        schedule(m_schedule.firstDelayMs(random()));
}

void WatchEngine::schedule(qint64 delayMs)
{
    m_timer.start(int(std::clamp<qint64>(delayMs, 0, std::numeric_limits<int>::max())));
    m_status.nextCheck = QDateTime::currentDateTime().addMSecs(delayMs);
    Q_EMIT statusChanged(m_status);
}

void WatchEngine::save(const QList<qint32> &roots, bool withMessages)
{
    QList<const WatchedThread *> rows;
    for (const qint32 root : roots) {
        const auto it = m_threads.constFind(root);
        if (it != m_threads.cend())
            rows << &*it;
    }
    m_store.save(rows, withMessages);
}

void WatchEngine::changed(const QList<qint32> &roots, bool withMessages)
{
    save(roots, withMessages);
    Q_EMIT threadsChanged(threads());
}

qint32 WatchEngine::rootOf(qint32 number) const
{
    for (const WatchedThread &t : m_threads) {
        if (t.root == number || t.knows(number))
            return t.root;
    }
    return 0;
}

void WatchEngine::watch(const QString &address, const QString &bodyHtml, const QString &pageTitle)
{
    const ForumAddress shown = forumAddress(address);
    if (shown.message.number == 0)
        return;
    WatchedThread thread;
    thread.section = shown.section;
    thread.root = shown.message.number;
    thread.title = pageTitle;
    QList<PageMessage> listed;
    if (shown.message.wholeThread) {
        listed = shownWholeThread(bodyHtml);
    } else if (const std::optional<PageThread> tree = shownTreeOf(shown.message.number, bodyHtml)) {
        thread.root = tree->root;
        thread.title = tree->messages.first().subject;
        listed = tree->messages;
    }
    thread.title = thread.title.simplified().left(kMaxTextLength);
    if (!m_threads.contains(thread.root)) {
        thread.indexPage = m_lastIndexPage.value(thread.section, 1);
        takeListed(thread, listed);
        for (KnownMessage &m : thread.messages)
            m.read = true;
        markRead(thread, {shown.message.number});
        m_threads.insert(thread.root, thread);
        // The validators kept for the section's pages stand for what was
        // there before this thread's messages counted.
        for (auto it = m_cache.begin(); it != m_cache.end();) {
            if (it.key().contains(QStringLiteral("/cgi-bin/%1/").arg(thread.section)))
                it = m_cache.erase(it);
            else
                ++it;
        }
        changed({thread.root}, true);
    }
    Q_EMIT shownThread(address, thread.root);
}

void WatchEngine::unwatch(qint32 root)
{
    if (m_threads.remove(root) == 0)
        return;
    m_store.remove(root);
    Q_EMIT threadsChanged(threads());
}

void WatchEngine::pageShown(const QString &address, const QString &bodyHtml)
{
    const ForumAddress shown = forumAddress(address);
    if (shown.section.isEmpty())
        return;
    if (shown.indexPage > 0) {
        m_lastIndexPage.insert(shown.section, shown.indexPage);
        return;
    }
    const qint32 number = shown.message.number;
    qint32 root = shown.message.wholeThread ? number : rootOf(number);
    if (root == 0 && !bodyHtml.isEmpty()) {
        if (const std::optional<PageThread> tree = shownTreeOf(number, bodyHtml))
            root = tree->root;
    }
    auto it = m_threads.find(root);
    if (it == m_threads.end() || it->section != shown.section) {
        Q_EMIT shownThread(address, 0);
        return;
    }
    // Only a watched thread's page is read for the messages it shows.
    QList<qint32> seen{number};
    if (shown.message.wholeThread) {
        for (const PageMessage &m : shownWholeThread(bodyHtml))
            seen << m.number;
    }
    if (markRead(*it, seen))
        changed({root}, true);
    Q_EMIT shownThread(address, root);
}

void WatchEngine::checkNow()
{
    if (!m_plan)
        startCheck();
}

void WatchEngine::startCheck()
{
    m_timer.stop();
    QList<CheckPlan::Thread> planned;
    for (const WatchedThread &t : std::as_const(m_threads))
        planned.append({t.root, t.section, t.indexPage});
    m_plan = std::make_unique<CheckPlan>(planned);
    m_withNews.clear();
    m_messagesChanged.clear();
    m_requests = 0;
    m_status.running = true;
    Q_EMIT statusChanged(m_status);
    step();
}

void WatchEngine::step()
{
    const std::optional<CheckPlan::Request> request = m_plan->next();
    if (!request) {
        finishCheck({});
        return;
    }
    const QString url = request->root ? wholeThreadUrl(m_options.forumHost, request->section, request->root)
                                      : indexPageUrl(m_options.forumHost, request->section, request->page);
    // A 304 answers for what was sent, even when the cache has moved on meanwhile.
    const CachedPage cached = m_cache.value(url);
    m_fetcher.get(QUrl(url), cached.etag, cached.lastModified,
                  [this, request = *request, url, cached](const Fetched &page) {
                      received(request, url, cached, page);
                  });
}

void WatchEngine::received(const CheckPlan::Request &request, const QString &url, const CachedPage &sent,
                           const Fetched &page)
{
    ++m_requests;
    if (page.status == 304 && (!sent.etag.isEmpty() || !sent.lastModified.isEmpty())) {
        if (request.root)
            m_plan->threadRead(request.root, sent.roots.contains(request.root));
        else
            m_plan->indexRead(request.section, request.page, sent.roots, sent.lastPage);
    } else if (page.status == 200) {
        CachedPage fresh{page.etag, page.lastModified, {}, 0};
        const QByteArray encoding = pageEncoding(page.contentType, page.body);
        if (request.root) {
            const QList<PageMessage> listed = readWholeThread(page.body, encoding);
            const bool found = std::any_of(listed.cbegin(), listed.cend(),
                                           [&](const PageMessage &m) { return m.number == request.root; });
            if (found) {
                take(request.root, request.section, listed);
                fresh.roots.insert(request.root);
            }
            m_plan->threadRead(request.root, found);
        } else {
            const ListedThreads lists = readThreadLists(page.body, encoding);
            for (const PageThread &t : lists.threads) {
                fresh.roots.insert(t.root);
                take(t.root, request.section, t.messages);
            }
            fresh.lastPage = lists.lastPage;
            m_plan->indexRead(request.section, request.page, fresh.roots, lists.lastPage);
        }
        if (m_cache.size() >= kMaxCachedPages)
            m_cache.clear();
        if (!fresh.etag.isEmpty() || !fresh.lastModified.isEmpty())
            m_cache.insert(url, fresh);
        else
            m_cache.remove(url);
    } else if (page.status == 404 || page.status == 410) {
        m_cache.remove(url);
        if (request.root)
            m_plan->threadRead(request.root, false);
        else
            m_plan->indexRead(request.section, request.page, {}, 0);
    } else {
        // Errors and "too many requests" end the check; the next one waits longer.
        const QString problem = page.status ? QStringLiteral("Das Forum antwortet mit Fehler %1").arg(page.status)
                                            : page.error;
        finishCheck(problem.isEmpty() ? QStringLiteral("Das Forum antwortet nicht") : problem,
                    retryAfterSeconds(page.retryAfter, QDateTime::currentDateTimeUtc()));
        return;
    }
    step();
}

void WatchEngine::take(qint32 root, const QString &section, const QList<PageMessage> &listed)
{
    auto it = m_threads.find(root);
    if (it == m_threads.end() || it->section != section || !m_plan || m_plan->found(root) != CheckPlan::Found::NotYet)
        return;
    const QList<KnownMessage> before = it->messages;
    if (takeListed(*it, listed) > 0)
        m_withNews.insert(root);
    if (it->messages != before)
        m_messagesChanged.insert(root);
}

void WatchEngine::finishCheck(const QString &problem, std::optional<qint64> retryAfter)
{
    const QDateTime now = QDateTime::currentDateTime();
    QList<qint32> checked;
    for (auto it = m_threads.begin(); it != m_threads.end(); ++it) {
        const CheckPlan::Found found = m_plan->found(it.key());
        if (found == CheckPlan::Found::NotYet)
            continue;
        it->checkedAt = now;
        it->gone = found == CheckPlan::Found::Vanished;
        it->indexPage = found == CheckPlan::Found::OnIndex ? m_plan->pageOf(it.key()) : 0;
        if (!m_messagesChanged.contains(it.key()))
            checked << it.key();
    }
    m_plan.reset();
    save(checked, false);
    changed(QList<qint32>(m_messagesChanged.cbegin(), m_messagesChanged.cend()), true);
    for (const qint32 root : std::as_const(m_withNews)) {
        const auto it = m_threads.constFind(root);
        if (it != m_threads.cend() && it->newCount() > 0)
            Q_EMIT newMessages(*it);
    }
    if (problem.isEmpty())
        m_schedule.succeeded();
    else
        m_schedule.failed(retryAfter);
    m_status.running = false;
    m_status.problem = problem;
    const int requests = m_requests;
    if (m_options.scheduled)
        schedule(m_schedule.nextDelayMs(random()));
    else
        Q_EMIT statusChanged(m_status);
    Q_EMIT checkDone(requests);
}

} // namespace tarnvik::watch
