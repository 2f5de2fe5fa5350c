#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

class QSqlError;

// The program's own embedded store: one SQLite file ("Tarnvik.sqlite" in the
// per-user data folder) shared by the features that keep data of their own
// (watched threads, the archive).
//
// Each feature owns a schema: a name and the list of its steps, each step a
// list of statements. A step once shipped is never changed; a change of the
// tables is a new step at the end. The store records per schema how many
// steps have run, so features migrate independently of each other.
//
// SQLite connections belong to the thread that opened them: a worker thread
// opens a Database of its own on the same file. The file is opened in WAL
// mode with a busy timeout, so two program instances (or a reader and a
// writer thread) can use it at once; every change runs in a transaction.
namespace tarnvik {

struct Schema {
    QString name;
    QList<QStringList> steps;
};

class Database
{
public:
    // "Tarnvik.sqlite" in the per-user data folder (made if missing); empty
    // when there is no such folder.
    static QString defaultPath();

    // Opens (creates) the file. A file that is no database or is damaged is
    // set aside under a new name (`message` then says so in German) and an
    // empty store takes its place; nothing else is touched. False, with
    // `message`, when no store can be opened at all (a read-only folder, a
    // full disk): the caller goes on without it.
    bool open(const QString &path, QString *message = nullptr);
    ~Database();

    bool isOpen() const;
    QString path() const { return m_path; }
    QSqlDatabase connection() const;

    // Brings `schema` up to its last step. False with `error` when a step
    // fails (nothing of it stays) or the file was written by a newer program
    // that has more steps than `schema` knows (the file is left as it is).
    bool migrate(const Schema &schema, QString *error = nullptr);
    // Steps of `schema` that have run in this file.
    int schemaVersion(const QString &name) const;

    // Runs `work` in one write transaction (taken at once, so that two
    // writers wait for each other rather than fail midway). Committed when
    // `work` returns true, rolled back otherwise or when the commit fails.
    bool transaction(const std::function<bool(QSqlDatabase &)> &work, QString *error = nullptr);
    // SQLite's primary result code of the last BEGIN or COMMIT of
    // transaction() that failed (5 busy, 13 full, ...); 0 after a success.
    int lastTransactionCode() const { return m_lastTransactionCode; }
    // SQLite's primary result code of an error; -1 when it has none.
    static int primaryCode(const QSqlError &error);
    // Whether a primary result code says another connection holds the file
    // for the moment (busy or locked): trying again later may succeed.
    static bool isBusy(int code);

    // Whether an error says the file is damaged. Such an error marks the
    // file, and the next open sets it aside.
    bool noteDamage(const QSqlError &error);

    // The name a damaged file is set aside under: "<name>.beschädigt-<time>".
    static QString setAsideName(const QString &path);

private:
    bool openConnection(QString *message);
    bool usable(QString *message);
    void closeConnection();

    QString m_path;
    QString m_connection;
    int m_lastTransactionCode = 0;
};

} // namespace tarnvik
