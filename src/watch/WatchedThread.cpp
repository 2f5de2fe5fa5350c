#include "watch/WatchedThread.h"

#include <QHash>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

namespace tarnvik::watch {

int WatchedThread::newCount() const
{
    return int(std::count_if(messages.cbegin(), messages.cend(), [](const KnownMessage &m) { return !m.read; }));
}

qint32 WatchedThread::firstNew() const
{
    for (const KnownMessage &m : messages) {
        if (!m.read)
            return m.number;
    }
    return 0;
}

const KnownMessage *WatchedThread::newest(bool unreadOnly) const
{
    for (auto it = messages.crbegin(); it != messages.crend(); ++it) {
        if (!unreadOnly || !it->read)
            return &*it;
    }
    return nullptr;
}

bool WatchedThread::knows(qint32 number) const
{
    const auto it = std::lower_bound(messages.cbegin(), messages.cend(), number,
                                     [](const KnownMessage &m, qint32 n) { return m.number < n; });
    return it != messages.cend() && it->number == number;
}

int takeListed(WatchedThread &thread, const QList<PageMessage> &listed)
{
    QHash<qint32, const KnownMessage *> known;
    known.reserve(thread.messages.size());
    for (const KnownMessage &m : std::as_const(thread.messages))
        known.insert(m.number, &m);
    QList<KnownMessage> next;
    next.reserve(listed.size());
    int added = 0;
    for (const PageMessage &m : listed) {
        const KnownMessage *before = known.value(m.number);
        if (!before)
            ++added;
        next.append(KnownMessage{m.number, before && before->read, m.author.isEmpty() && before ? before->author : m.author,
                                 m.time.isEmpty() && before ? before->time : m.time});
    }
    std::sort(next.begin(), next.end(), [](const KnownMessage &a, const KnownMessage &b) { return a.number < b.number; });
    next.erase(std::unique(next.begin(), next.end(),
                           [](const KnownMessage &a, const KnownMessage &b) { return a.number == b.number; }),
               next.end());
    thread.messages = std::move(next);
    return added;
}

bool markRead(WatchedThread &thread, const QList<qint32> &numbers)
{
    bool changed = false;
    for (const qint32 number : numbers) {
        if (number <= 0)
            continue;
        auto it = std::lower_bound(thread.messages.begin(), thread.messages.end(), number,
                                   [](const KnownMessage &m, qint32 n) { return m.number < n; });
        if (it != thread.messages.end() && it->number == number) {
            changed |= !it->read;
            it->read = true;
        } else {
            thread.messages.insert(it, KnownMessage{number, true, {}, {}});
            changed = true;
        }
    }
    return changed;
}

QString sectionName(const QString &word)
{
    if (word == QLatin1String("forum"))
        return QStringLiteral("Handwerkzeug-Forum");
    if (word == QLatin1String("holzbearbeitungsmaschinen"))
        return QStringLiteral("Allgemeines Holzwerker-Forum");
    if (word == QLatin1String("marktplatz"))
        return QStringLiteral("Marktplatz");
    return word;
}

QString indexPageUrl(const QString &host, const QString &section, int page)
{
    const QString script = QStringLiteral("http://%1/cgi-bin/%2/webbbs_config.pl").arg(host, section);
    return page > 1 ? script + QStringLiteral("/page/%1").arg(page) : script;
}

QString wholeThreadUrl(const QString &host, const QString &section, qint32 root)
{
    return indexPageUrl(host, section, 1) + QStringLiteral("/read/%1/thread#%1").arg(root);
}

QString messageUrl(const QString &host, const QString &section, qint32 number)
{
    return indexPageUrl(host, section, 1) + QStringLiteral("/read/%1").arg(number);
}

ForumAddress forumAddress(const QString &address)
{
    static const QRegularExpression script(
        QStringLiteral("^/cgi-bin/([A-Za-z0-9_-]{1,40})/webbbs_config\\.pl(?:/page/(\\d{1,6})|(/read/.*))?/?$"));
    const QUrl url(address.left(4096));
    const QRegularExpressionMatch match = script.match(url.path());
    ForumAddress result;
    if (!match.hasMatch())
        return result;
    if (match.capturedLength(3) > 0) {
        result.message = messageLink(match.capturedView(3));
        if (result.message.number == 0)
            return result;
    } else {
        result.indexPage = qMax(1, match.captured(2).toInt());
    }
    result.section = match.captured(1);
    return result;
}

} // namespace tarnvik::watch
