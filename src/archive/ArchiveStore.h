#pragma once

#include "archive/ArchivePage.h"
#include "archive/ArchiveText.h"
#include "state/Database.h"

#include <QDate>

// The archive's tables in the program's database and what is done with
// them: keeping threads, searching them, reading one back. One store
// belongs to the thread that opened its database.
//
// Besides the full-text index, a list of every folded word lets a search
// find a part of a word ("holz" in "Eichenholz") through the words that
// hold it.
//
// A message's id orders it by time: the second it was posted (the forum's
// wall clock) times 2^20 plus a small number that keeps ids apart. The
// full-text indexes use the same ids, so "newest first" is their own order
// and a date range a range of ids.
namespace tarnvik::archive {

struct SearchRequest {
    QString text;
    ForumKind section = Forums::None; // None: every section
    QString author;                   // part of the author's name; empty: anyone
    QDate from;                       // invalid: open
    QDate to;                         // invalid: open; the day itself included
    bool newestFirst = true;          // else by relevance
};

struct MessageHit {
    qint64 message = 0;
    QString author;
    QDateTime posted;
    QString title;
    Snippet snippet;
};

struct ThreadHit {
    qint64 thread = 0;
    QString title;
    ForumKind section = Forums::None;
    qint32 number = 0;
    int hits = 0;                  // matching messages among those looked at
    QList<MessageHit> messages;    // the first few of them
};

struct SearchResult {
    QList<SearchTerm> terms;
    bool insideWords = false; // parts of words found more
    bool more = false;        // more messages match than were looked at
    QList<ThreadHit> threads;
    QStringList matches; // the full-text queries that ran
    QString error;
};

struct StoredMessage {
    qint64 id = 0;
    qint64 number = 0;
    QString title;
    QString author;
    QDateTime posted;
    QString text;
    QList<ArchivedPicture> pictures;
};

struct StoredThread {
    qint64 id = 0;
    ForumKind section = Forums::None;
    qint32 number = 0;
    QString title;
    bool exported = false;
    QList<StoredMessage> messages;
};

struct KeepResult {
    bool ok = false;
    int added = 0;
    int changed = 0;
    int code = 0; // SQLite's primary result code when it failed
    QString error;
};

class ArchiveStore
{
public:
    explicit ArchiveStore(Database &db) : m_db(db) {}

    static const Schema &schema();

    // Keeps `thread`: a thread kept before is updated in place (new
    // messages added, changed ones replaced, pictures and local copies
    // added), nothing is stored twice.
    KeepResult keep(const ArchivedThread &thread);

    SearchResult search(const SearchRequest &request);
    std::optional<StoredThread> thread(qint64 id);

    // How many messages a search looks at, and how many of them it shows.
    static constexpr int kLookedAt = 400;
    static constexpr int kShownThreads = 100;
    static constexpr int kShownPerThread = 3;
    // When the words found are all there are and they are in fewer than
    // this many threads, words that hold a term are looked for as well, at
    // most this many per term.
    static constexpr int kFewThreads = 10;
    static constexpr int kPartWords = 64;

private:
    Database &m_db;
};

// The smallest id of a message posted at `posted` (the forum's wall clock);
// 0 for an unknown time.
qint64 firstIdOf(const QDateTime &posted);

} // namespace tarnvik::archive
