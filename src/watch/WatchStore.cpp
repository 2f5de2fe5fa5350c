#include "watch/WatchStore.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace tarnvik::watch {

namespace {
constexpr int kMaxThreads = 2000;
constexpr int kMaxMessagesPerThread = 100000;
constexpr int kMaxIndexPage = 100000;

QString bounded(const QVariant &value)
{
    return value.toString().left(kMaxTextLength);
}

bool sectionWord(const QString &word)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_-]{1,40}$"));
    return valid.match(word).hasMatch();
}
} // namespace

const Schema &WatchStore::schema()
{
    static const Schema value{
        QStringLiteral("watch"),
        {{QStringLiteral("CREATE TABLE watch_threads (root INTEGER PRIMARY KEY, section TEXT NOT NULL, "
                         "title TEXT NOT NULL, index_page INTEGER NOT NULL DEFAULT 1, "
                         "gone INTEGER NOT NULL DEFAULT 0, checked_at INTEGER)"),
          QStringLiteral("CREATE TABLE watch_messages (root INTEGER NOT NULL REFERENCES watch_threads(root) "
                         "ON DELETE CASCADE, number INTEGER NOT NULL, read INTEGER NOT NULL, "
                         "author TEXT NOT NULL DEFAULT '', time TEXT NOT NULL DEFAULT '', "
                         "PRIMARY KEY (root, number)) WITHOUT ROWID")}}};
    return value;
}

bool WatchStore::open(const QString &path, QString *message)
{
    m_open = m_db.open(path, message);
    QString error;
    if (m_open && !m_db.migrate(schema(), &error)) {
        m_open = false;
        if (message)
            *message = QStringLiteral("Die beobachteten Themen können nicht gespeichert werden: %1").arg(error);
    }
    return m_open;
}

QList<WatchedThread> WatchStore::load()
{
    QList<WatchedThread> threads;
    if (!m_open)
        return threads;
    QSqlQuery query(m_db.connection());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT root, section, title, index_page, gone, checked_at FROM watch_threads "
                                   "ORDER BY root LIMIT %1").arg(kMaxThreads))) {
        m_db.noteDamage(query.lastError());
        return threads;
    }
    QHash<qint32, qsizetype> byRoot;
    while (query.next()) {
        WatchedThread t;
        const qint64 root = query.value(0).toLongLong();
        t.section = query.value(1).toString();
        if (root <= 0 || root > std::numeric_limits<qint32>::max() || !sectionWord(t.section))
            continue;
        t.root = qint32(root);
        t.title = bounded(query.value(2));
        t.indexPage = std::clamp(query.value(3).toInt(), 0, kMaxIndexPage);
        t.gone = query.value(4).toInt() != 0;
        if (!query.value(5).isNull())
            t.checkedAt = QDateTime::fromSecsSinceEpoch(query.value(5).toLongLong());
        byRoot.insert(t.root, threads.size());
        threads.append(t);
    }
    QSqlQuery messages(m_db.connection());
    messages.setForwardOnly(true);
    if (!messages.exec(QStringLiteral("SELECT root, number, read, author, time FROM watch_messages "
                                      "ORDER BY root, number"))) {
        m_db.noteDamage(messages.lastError());
        return threads;
    }
    while (messages.next()) {
        const auto at = byRoot.constFind(qint32(messages.value(0).toLongLong()));
        const qint64 number = messages.value(1).toLongLong();
        if (at == byRoot.cend() || number <= 0 || number > std::numeric_limits<qint32>::max())
            continue;
        QList<KnownMessage> &list = threads[*at].messages;
        if (list.size() < kMaxMessagesPerThread)
            list.append(KnownMessage{qint32(number), messages.value(2).toInt() != 0, bounded(messages.value(3)),
                                     bounded(messages.value(4))});
    }
    return threads;
}

bool WatchStore::save(const QList<const WatchedThread *> &threads, bool withMessages, QString *error)
{
    if (!m_open || threads.isEmpty())
        return m_open;
    const auto fail = [&](const QSqlQuery &query) {
        m_db.noteDamage(query.lastError());
        if (error)
            *error = query.lastError().text();
        return false;
    };
    return m_db.transaction([&](QSqlDatabase &db) {
        QSqlQuery thread(db);
        thread.prepare(QStringLiteral(
            "INSERT INTO watch_threads (root, section, title, index_page, gone, checked_at) "
            "VALUES (?, ?, COALESCE(?, ''), ?, ?, ?) "
            "ON CONFLICT(root) DO UPDATE SET section = excluded.section, title = excluded.title, "
            "index_page = excluded.index_page, gone = excluded.gone, checked_at = excluded.checked_at"));
        QSqlQuery clear(db);
        clear.prepare(QStringLiteral("DELETE FROM watch_messages WHERE root = ?"));
        QSqlQuery message(db);
        message.prepare(
            QStringLiteral("INSERT INTO watch_messages (root, number, read, author, time) "
                           "VALUES (?, ?, ?, COALESCE(?, ''), COALESCE(?, ''))"));
        for (const WatchedThread *t : threads) {
            thread.addBindValue(t->root);
            thread.addBindValue(t->section);
            thread.addBindValue(t->title);
            thread.addBindValue(t->indexPage);
            thread.addBindValue(int(t->gone));
            thread.addBindValue(t->checkedAt.isValid() ? QVariant(t->checkedAt.toSecsSinceEpoch()) : QVariant());
            if (!thread.exec())
                return fail(thread);
            if (!withMessages)
                continue;
            clear.addBindValue(t->root);
            if (!clear.exec())
                return fail(clear);
            for (const KnownMessage &m : t->messages) {
                message.addBindValue(t->root);
                message.addBindValue(m.number);
                message.addBindValue(int(m.read));
                message.addBindValue(m.author);
                message.addBindValue(m.time);
                if (!message.exec())
                    return fail(message);
            }
        }
        return true;
    }, error);
}

bool WatchStore::remove(qint32 root)
{
    if (!m_open)
        return false;
    return m_db.transaction([&](QSqlDatabase &db) {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("DELETE FROM watch_threads WHERE root = ?"));
        query.addBindValue(root);
        return query.exec();
    });
}

} // namespace tarnvik::watch
