#include "archive/ArchiveStore.h"

#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace tarnvik::archive {

namespace {

constexpr int kIdShift = 20;
constexpr qint64 kIdsPerSecond = qint64(1) << kIdShift;

QString timeText(const QDateTime &posted)
{
    return posted.isValid() ? posted.toString(Qt::ISODate) : QString();
}

QDateTime timeOf(const QVariant &text)
{
    QDateTime time = QDateTime::fromString(text.toString(), Qt::ISODate);
    return time.isValid() ? QDateTime(time.date(), time.time()) : QDateTime();
}

QString idList(const QList<qint64> &ids)
{
    QStringList numbers;
    for (const qint64 id : ids)
        numbers << QString::number(id);
    return numbers.join(QLatin1Char(','));
}

// A query that remembers the first error of the statements run through it.
class Statements
{
public:
    explicit Statements(QSqlDatabase &db) : m_db(db) {}

    QSqlQuery prepare(const QString &sql)
    {
        QSqlQuery query(m_db);
        if (!query.prepare(sql))
            note(query);
        return query;
    }
    bool exec(QSqlQuery &query, const QVariantList &values)
    {
        for (int i = 0; i < values.size(); ++i)
            query.bindValue(i, values.at(i));
        if (query.exec())
            return true;
        note(query);
        return false;
    }
    QSqlError failure;

private:
    void note(const QSqlQuery &query)
    {
        if (!failure.isValid())
            failure = query.lastError();
    }
    QSqlDatabase &m_db;
};

// Per term, the archive's words that hold it other than at their start
// (those the prefix finds already).
QList<QStringList> containingWords(QSqlDatabase &db, const QList<SearchTerm> &terms)
{
    QList<QStringList> containing;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT DISTINCT term FROM archive_parts WHERE part >= ? AND part < ? AND part <> term "
                                 "LIMIT %1")
                      .arg(ArchiveStore::kPartWords));
    for (const SearchTerm &term : terms) {
        QStringList words;
        if (!term.phrase && term.folded.size() >= kMinPart) {
            query.bindValue(0, term.folded);
            query.bindValue(1, term.folded + QString(QChar::highSurrogate(0x10ffff)) + QChar::lowSurrogate(0x10ffff));
            if (query.exec()) {
                while (query.next())
                    words << query.value(0).toString();
            }
        }
        containing << words;
    }
    return containing;
}

struct Existing {
    qint64 id = 0;
    qint64 number = 0;
    int position = 0;
    QString title;
    QString text;
};

} // namespace

qint64 firstIdOf(const QDateTime &posted)
{
    if (!posted.isValid())
        return 0;
    const qint64 seconds = QDateTime(posted.date(), posted.time(), Qt::UTC).toSecsSinceEpoch();
    return std::clamp<qint64>(seconds, 0, (qint64(1) << 40) - 1) << kIdShift;
}

const Schema &ArchiveStore::schema()
{
    static const Schema archive{
        QStringLiteral("archive"),
        {{QStringLiteral("CREATE TABLE archive_threads (id INTEGER PRIMARY KEY, section INTEGER NOT NULL, "
                         "number INTEGER NOT NULL, title TEXT NOT NULL, address TEXT NOT NULL, "
                         "exported INTEGER NOT NULL DEFAULT 0, kept TEXT NOT NULL, UNIQUE (section, number))"),
          QStringLiteral("CREATE TABLE archive_messages (id INTEGER PRIMARY KEY, "
                         "thread INTEGER NOT NULL REFERENCES archive_threads (id) ON DELETE CASCADE, "
                         "key TEXT NOT NULL, number INTEGER NOT NULL DEFAULT 0, position INTEGER NOT NULL, "
                         "title TEXT NOT NULL, author TEXT NOT NULL, author_key TEXT NOT NULL, posted TEXT NOT NULL, "
                         "text TEXT NOT NULL, UNIQUE (thread, key))"),
          QStringLiteral("CREATE TABLE archive_pictures (message INTEGER NOT NULL "
                         "REFERENCES archive_messages (id) ON DELETE CASCADE, position INTEGER NOT NULL, "
                         "address TEXT NOT NULL, local_file TEXT NOT NULL, PRIMARY KEY (message, position)) "
                         "WITHOUT ROWID"),
          // Both indexes hold the folded text only (see ArchiveText.h); the
          // text as written stays in archive_messages.
          QStringLiteral("CREATE VIRTUAL TABLE archive_words USING fts5(title, text, content='', "
                         "tokenize='unicode61 remove_diacritics 0', prefix='2 3')"),
          QStringLiteral("INSERT INTO archive_words (archive_words, rank) VALUES ('rank', 'bm25(3.0, 1.0)')"),
          // Every word of the index under itself and under each of its
          // endings of three characters or more, so that the words holding
          // a part are found by the part's first characters.
          QStringLiteral("CREATE TABLE archive_parts (part TEXT NOT NULL, term TEXT NOT NULL, "
                         "PRIMARY KEY (part, term)) WITHOUT ROWID")}}};
    return archive;
}

KeepResult ArchiveStore::keep(const ArchivedThread &thread)
{
    KeepResult result;
    QSqlError failure;
    result.ok = m_db.transaction(
        [&](QSqlDatabase &db) {
            Statements sql(db);
            const auto failed = [&] {
                failure = sql.failure;
                return false;
            };
            QSqlQuery upsert = sql.prepare(QStringLiteral(
                "INSERT INTO archive_threads (section, number, title, address, exported, kept) VALUES (?, ?, ?, ?, ?, ?) "
                "ON CONFLICT (section, number) DO UPDATE SET title = excluded.title, address = excluded.address, "
                "exported = max(exported, excluded.exported), kept = excluded.kept RETURNING id"));
            if (!sql.exec(upsert, {int(thread.section), thread.number, thread.title, thread.address,
                                   int(thread.exported), QDateTime::currentDateTime().toString(Qt::ISODate)})
                || !upsert.next())
                return failed();
            const qint64 threadId = upsert.value(0).toLongLong();
            upsert.finish();

            QHash<QString, Existing> existing;
            QSqlQuery read = sql.prepare(QStringLiteral(
                "SELECT key, id, number, position, title, text FROM archive_messages WHERE thread = ?"));
            if (!sql.exec(read, {threadId}))
                return failed();
            while (read.next())
                existing.insert(read.value(0).toString(), {read.value(1).toLongLong(), read.value(2).toLongLong(),
                                                           read.value(3).toInt(), read.value(4).toString(),
                                                           read.value(5).toString()});

            QSqlQuery lastId = sql.prepare(QStringLiteral("SELECT max(id) FROM archive_messages WHERE id BETWEEN ? AND ?"));
            QSqlQuery insert = sql.prepare(QStringLiteral(
                "INSERT INTO archive_messages (id, thread, key, number, position, title, author, author_key, posted, text) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            QSqlQuery update = sql.prepare(QStringLiteral(
                "UPDATE archive_messages SET number = ?, position = ?, title = ?, text = ? WHERE id = ?"));
            QSqlQuery words = sql.prepare(QStringLiteral("INSERT INTO archive_words (rowid, title, text) VALUES (?, ?, ?)"));
            QSqlQuery part = sql.prepare(QStringLiteral("INSERT OR IGNORE INTO archive_parts (part, term) VALUES (?, ?)"));
            QSqlQuery unwords = sql.prepare(QStringLiteral(
                "INSERT INTO archive_words (archive_words, rowid, title, text) VALUES ('delete', ?, ?, ?)"));
            QSqlQuery picture = sql.prepare(QStringLiteral(
                "INSERT INTO archive_pictures (message, position, address, local_file) VALUES (?, ?, ?, ?) "
                "ON CONFLICT (message, position) DO UPDATE SET "
                "address = CASE WHEN excluded.address <> '' THEN excluded.address ELSE address END, "
                "local_file = CASE WHEN excluded.local_file <> '' THEN excluded.local_file ELSE local_file END"));
            if (sql.failure.isValid())
                return failed();

            // The words of every text indexed, for the list of words by their parts.
            QSet<QString> terms;
            const auto index = [&](qint64 id, const QString &title, const QString &text) {
                const QString foldedTitle = fold(title);
                const QString foldedText = fold(text);
                for (const QString &folded : {foldedTitle, foldedText}) {
                    for (const QString &word : partWords(folded))
                        terms.insert(word);
                }
                return sql.exec(words, {id, foldedTitle, foldedText});
            };
            // The contentless index forgets a text only when told its folded
            // words again.
            const auto unindex = [&](qint64 id, const QString &title, const QString &text) {
                return sql.exec(unwords, {id, fold(title), fold(text)});
            };
            for (int position = 0; position < thread.messages.size(); ++position) {
                const ArchivedMessage &m = thread.messages.at(position);
                qint64 id = 0;
                const auto found = existing.constFind(m.key);
                if (found == existing.constEnd()) {
                    const qint64 first = firstIdOf(m.posted);
                    if (!sql.exec(lastId, {first, first + kIdsPerSecond - 1}) || !lastId.next())
                        return failed();
                    id = lastId.value(0).isNull() ? first : lastId.value(0).toLongLong() + 1;
                    lastId.finish();
                    if (!sql.exec(insert, {id, threadId, m.key, m.number, position, m.title, m.author, fold(m.author),
                                           timeText(m.posted), m.text})
                        || !index(id, m.title, m.text))
                        return failed();
                    ++result.added;
                } else {
                    id = found->id;
                    const bool changed = found->title != m.title || found->text != m.text;
                    const qint64 number = m.number ? m.number : found->number;
                    if ((changed || number != found->number || position != found->position)
                        && !sql.exec(update, {number, position, m.title, m.text, id}))
                        return failed();
                    if (changed) {
                        if (!unindex(id, found->title, found->text) || !index(id, m.title, m.text))
                            return failed();
                        ++result.changed;
                    }
                }
                for (int p = 0; p < m.pictures.size(); ++p) {
                    if (!sql.exec(picture, {id, p, m.pictures.at(p).address, m.pictures.at(p).localFile}))
                        return failed();
                }
            }
            for (const QString &word : std::as_const(terms)) {
                if (!sql.exec(part, {word, word}))
                    return failed();
                // A word met before has its endings already.
                const bool fresh = part.numRowsAffected() > 0;
                for (qsizetype at = 1; fresh && at + kMinPart <= word.size(); ++at) {
                    if (!sql.exec(part, {word.mid(at), word}))
                        return failed();
                }
            }
            return true;
        },
        &result.error);
    if (!result.ok)
        result.code = failure.isValid() ? Database::primaryCode(failure) : m_db.lastTransactionCode();
    return result;
}

SearchResult ArchiveStore::search(const SearchRequest &request)
{
    SearchResult result;
    result.terms = parseQuery(request.text);
    if (result.terms.isEmpty())
        return result;
    QSqlDatabase db = m_db.connection();

    QList<std::pair<qint64, qint64>> found; // message, thread; best first
    QSet<qint64> seen;
    QSet<qint64> threadsSeen;
    const QString author = fold(request.author);
    const auto look = [&](const QString &match) {
        QString sql = QStringLiteral("SELECT f.rowid, m.thread FROM archive_words f CROSS JOIN archive_messages m "
                                     "ON m.id = f.rowid");
        if (request.section != Forums::None)
            sql += QStringLiteral(" CROSS JOIN archive_threads t ON t.id = m.thread");
        sql += QStringLiteral(" WHERE archive_words MATCH ?");
        QVariantList values{match};
        if (request.from.isValid()) {
            sql += QStringLiteral(" AND f.rowid >= ?");
            values << firstIdOf(QDateTime(request.from, QTime(0, 0)));
        }
        if (request.to.isValid()) {
            sql += QStringLiteral(" AND f.rowid < ?");
            values << firstIdOf(QDateTime(request.to.addDays(1), QTime(0, 0)));
        }
        if (request.section != Forums::None) {
            sql += QStringLiteral(" AND t.section = ?");
            values << int(request.section);
        }
        if (!author.isEmpty()) {
            sql += QStringLiteral(" AND instr(m.author_key, ?) > 0");
            values << author;
        }
        sql += request.newestFirst ? QStringLiteral(" ORDER BY f.rowid DESC") : QStringLiteral(" ORDER BY f.rank");
        sql += QStringLiteral(" LIMIT %1").arg(ArchiveStore::kLookedAt);
        result.matches << match;
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.prepare(sql);
        for (int i = 0; i < values.size(); ++i)
            query.bindValue(i, values.at(i));
        if (!query.exec()) {
            result.error = query.lastError().text();
            return;
        }
        int rows = 0;
        while (query.next()) {
            ++rows;
            const qint64 id = query.value(0).toLongLong();
            if (seen.contains(id))
                continue;
            seen.insert(id);
            threadsSeen.insert(query.value(1).toLongLong());
            found.append({id, query.value(1).toLongLong()});
        }
        result.more = result.more || rows >= ArchiveStore::kLookedAt;
    };
    look(wordQuery(result.terms));
    // Few threads from a search that was not cut short: look inside words too.
    if (!result.more && threadsSeen.size() < kFewThreads && result.error.isEmpty()) {
        const qsizetype before = found.size();
        const QString parts = partQuery(result.terms, containingWords(db, result.terms));
        if (!parts.isEmpty())
            look(parts);
        result.insideWords = found.size() > before;
    }

    QHash<qint64, qsizetype> threadAt;
    QList<qint64> shown;
    for (const auto &[message, thread] : std::as_const(found)) {
        auto at = threadAt.constFind(thread);
        if (at == threadAt.constEnd()) {
            if (result.threads.size() >= kShownThreads)
                continue;
            at = threadAt.insert(thread, result.threads.size());
            result.threads.emplace_back().thread = thread;
        }
        ThreadHit &hit = result.threads[*at];
        ++hit.hits;
        if (hit.messages.size() < kShownPerThread) {
            hit.messages.emplace_back().message = message;
            shown << message;
        }
    }
    if (result.threads.isEmpty())
        return result;

    QHash<qint64, MessageHit> details;
    QSqlQuery messages(db);
    messages.setForwardOnly(true);
    if (messages.exec(QStringLiteral("SELECT id, author, posted, title, text FROM archive_messages WHERE id IN (%1)")
                          .arg(idList(shown)))) {
        while (messages.next()) {
            const QString text = messages.value(4).toString();
            const QList<Hit> hits = findHits(text, result.terms, result.insideWords);
            details.insert(messages.value(0).toLongLong(),
                           {messages.value(0).toLongLong(), messages.value(1).toString(), timeOf(messages.value(2)),
                            messages.value(3).toString(), makeSnippet(text, hits)});
        }
    }
    QList<qint64> threadIds;
    for (const ThreadHit &hit : std::as_const(result.threads))
        threadIds << hit.thread;
    QSqlQuery threads(db);
    threads.setForwardOnly(true);
    if (threads.exec(QStringLiteral("SELECT id, title, section, number FROM archive_threads WHERE id IN (%1)")
                         .arg(idList(threadIds)))) {
        while (threads.next()) {
            ThreadHit &hit = result.threads[threadAt.value(threads.value(0).toLongLong())];
            hit.title = threads.value(1).toString();
            hit.section = ForumKind(threads.value(2).toInt());
            hit.number = threads.value(3).toInt();
        }
    }
    for (ThreadHit &hit : result.threads) {
        for (MessageHit &message : hit.messages)
            message = details.value(message.message, message);
    }
    return result;
}

std::optional<StoredThread> ArchiveStore::thread(qint64 id)
{
    QSqlDatabase db = m_db.connection();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT section, number, title, exported FROM archive_threads WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next())
        return std::nullopt;
    StoredThread thread{id, ForumKind(query.value(0).toInt()), query.value(1).toInt(), query.value(2).toString(),
                        query.value(3).toBool(), {}};
    query.finish();
    query.prepare(QStringLiteral("SELECT id, number, title, author, posted, text FROM archive_messages "
                                 "WHERE thread = ? ORDER BY position"));
    query.addBindValue(id);
    if (!query.exec())
        return std::nullopt;
    QHash<qint64, qsizetype> at;
    while (query.next()) {
        at.insert(query.value(0).toLongLong(), thread.messages.size());
        thread.messages.append({query.value(0).toLongLong(), query.value(1).toLongLong(), query.value(2).toString(),
                                query.value(3).toString(), timeOf(query.value(4)), query.value(5).toString(), {}});
    }
    query.finish();
    query.prepare(QStringLiteral("SELECT p.message, p.address, p.local_file FROM archive_pictures p "
                                 "JOIN archive_messages m ON m.id = p.message WHERE m.thread = ? "
                                 "ORDER BY p.message, p.position"));
    query.addBindValue(id);
    if (query.exec()) {
        while (query.next()) {
            const auto message = at.constFind(query.value(0).toLongLong());
            if (message != at.constEnd())
                thread.messages[*message].pictures.append({query.value(1).toString(), query.value(2).toString()});
        }
    }
    return thread;
}

} // namespace tarnvik::archive
