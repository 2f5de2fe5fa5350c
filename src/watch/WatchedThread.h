#pragma once

#include "watch/PageReading.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>

namespace tarnvik::watch {

struct KnownMessage {
    qint32 number = 0;
    bool read = false;
    QString author;
    QString time;
    bool operator==(const KnownMessage &) const = default;
};

// A thread the user watches, with the messages last seen in it.
struct WatchedThread {
    qint32 root = 0;
    QString section; // the section's address word ("forum")
    QString title;
    int indexPage = 1; // the index page its tree was last seen on; 0: on none
    bool gone = false; // the forum no longer has it
    QDateTime checkedAt;
    QList<KnownMessage> messages; // by number, ascending

    int newCount() const;
    // The oldest unread message; 0 when all are read.
    qint32 firstNew() const;
    // The message with the highest number; of the unread ones with `unreadOnly`.
    const KnownMessage *newest(bool unreadOnly = false) const;
    bool knows(qint32 number) const;
};

// The thread's messages after a page showed `listed`: messages the page no
// longer lists are dropped, new ones are unread, read ones stay read.
// Returns how many messages were not known before.
int takeListed(WatchedThread &thread, const QList<PageMessage> &listed);

// Marks messages read that the user saw; numbers not known yet are kept as
// read, so that a later check does not count them. Returns whether anything changed.
bool markRead(WatchedThread &thread, const QList<qint32> &numbers);

// The name of a section, by its address word.
QString sectionName(const QString &word);

// Addresses on the forum host ("host" or "host:port").
QString indexPageUrl(const QString &host, const QString &section, int page);
QString wholeThreadUrl(const QString &host, const QString &section, qint32 root);
QString messageUrl(const QString &host, const QString &section, qint32 number);

// What a forum address shows: the section word, and a message or whole-thread
// number or an index page. Empty section when it is no forum page.
struct ForumAddress {
    QString section;
    MessageLink message;
    int indexPage = 0; // 1 for the section script, N for ".../page/N"
};
ForumAddress forumAddress(const QString &address);

} // namespace tarnvik::watch

Q_DECLARE_METATYPE(tarnvik::watch::WatchedThread)
