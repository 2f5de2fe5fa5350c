#pragma once

#include "state/Database.h"
#include "watch/WatchedThread.h"

#include <QList>
#include <QString>

namespace tarnvik::watch {

// The watched threads in the program's own database (schema "watch").
// Like its Database, a store belongs to the thread that opened it.
// Everything read back is checked, since the file may have been changed
// outside the program: bad rows are skipped, texts cut to length.
class WatchStore
{
public:
    static const Schema &schema();

    // Opens the database at `path` and brings the schema up to date. False,
    // with `message` in German, when there is no usable store; `message`
    // also tells of a damaged file that was set aside.
    bool open(const QString &path, QString *message = nullptr);
    bool isOpen() const { return m_open; }

    QList<WatchedThread> load();
    // Writes threads and, with `withMessages`, their messages, in one transaction.
    bool save(const QList<const WatchedThread *> &threads, bool withMessages, QString *error = nullptr);
    bool remove(qint32 root);

private:
    Database m_db;
    bool m_open = false;
};

} // namespace tarnvik::watch
