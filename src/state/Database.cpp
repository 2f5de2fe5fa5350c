#include "state/Database.h"

#include "state/WorkFolder.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

namespace tarnvik {

namespace {

const QString kDriver = QStringLiteral("QSQLITE");
// How long a writer waits for another one (another thread, or a second
// program instance) before its statement fails.
constexpr int kBusyTimeoutMs = 5000;
// SQLite's primary result codes for a damaged file.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

QString nextConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("tarnvik-store-%1").arg(++counter);
}

QString damageMarker(const QString &path)
{
    return path + QStringLiteral(".prüfen");
}

bool isDamage(const QSqlError &error)
{
    const int code = Database::primaryCode(error);
    return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

bool exec(QSqlDatabase &db, const QString &statement, QString *error)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

} // namespace

int Database::primaryCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xff) : -1;
}

bool Database::isBusy(int code)
{
    return code == kSqliteBusy || code == kSqliteLocked;
}

QString Database::defaultPath()
{
    const QString folder = userDataFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("Tarnvik.sqlite");
}

QString Database::setAsideName(const QString &path)
{
    return path + QStringLiteral(".beschädigt-")
           + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

Database::~Database()
{
    closeConnection();
}

bool Database::isOpen() const
{
    return !m_connection.isEmpty() && QSqlDatabase::database(m_connection, false).isOpen();
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_connection, false);
}

bool Database::open(const QString &path, QString *message)
{
    closeConnection();
    m_path = path;
    if (path.isEmpty()) {
        if (message)
            *message = QStringLiteral("Es gibt keinen Ordner für die Datenbank von Tarnvik.");
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString problem;
    if (openConnection(&problem) && usable(&problem))
        return true;
    const bool damaged = !problem.isEmpty() && problem.startsWith(QLatin1Char('!'));
    closeConnection();
    if (!damaged) {
        if (message)
            *message = QStringLiteral("Die Datenbank „%1“ kann nicht geöffnet werden: %2")
                           .arg(QDir::toNativeSeparators(path), problem);
        return false;
    }
    // A damaged file goes aside with its journal, so that nothing of it is
    // lost, and an empty store takes its place.
    const QString aside = setAsideName(path);
    const bool moved = QFile::rename(path, aside);
    for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFile::exists(path + suffix) && !QFile::rename(path + suffix, aside + suffix))
            QFile::remove(path + suffix);
    }
    QFile::remove(damageMarker(path));
    if (!moved || !openConnection(&problem) || !usable(&problem)) {
        closeConnection();
        if (message)
            *message = QStringLiteral("Die Datenbank „%1“ ist beschädigt und kann nicht ersetzt werden.")
                           .arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (message)
        *message = QStringLiteral("Die Datenbank „%1“ war beschädigt. Sie wurde als „%2“ beiseitegelegt; "
                                  "Tarnvik beginnt mit einer leeren Datenbank.")
                       .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(aside));
    return true;
}

bool Database::openConnection(QString *message)
{
    m_connection = nextConnectionName();
    QSqlDatabase db = QSqlDatabase::addDatabase(kDriver, m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (db.open())
        return true;
    *message = db.lastError().text();
    return false;
}

// Whether the file just opened is a store we can use. A problem that means
// damage comes back starting with "!".
bool Database::usable(QString *message)
{
    QSqlDatabase db = connection();
    QSqlQuery query(db);
    // Another program instance may be setting the same new file up (its
    // switch to WAL takes the file for a moment, and SQLite answers "busy"
    // there without waiting): such a statement is tried again for as long
    // as a writer would wait.
    QDeadlineTimer patience(kBusyTimeoutMs);
    const auto run = [&](const QString &statement) {
        for (;;) {
            if (query.exec(statement))
                return true;
            if (!isBusy(primaryCode(query.lastError())) || patience.hasExpired())
                return false;
            query.finish();
            QThread::msleep(20);
        }
    };
    // Reading the schema is what fails first on a file that is no database
    // or whose first pages are damaged.
    if (!run(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        *message = (isDamage(query.lastError()) ? QStringLiteral("!") : QString()) + query.lastError().text();
        return false;
    }
    query.finish();
    // A file marked by an earlier run is checked through.
    if (QFile::exists(damageMarker(m_path))) {
        if (!run(QStringLiteral("PRAGMA quick_check")) || !query.next()
            || query.value(0).toString() != QLatin1String("ok")) {
            *message = QStringLiteral("!") + query.lastError().text();
            return false;
        }
        query.finish();
        QFile::remove(damageMarker(m_path));
    }
    if (!run(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next()
        || query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        *message = query.lastError().isValid() ? query.lastError().text()
                                               : QStringLiteral("Der Ordner ist nicht beschreibbar");
        return false;
    }
    query.finish();
    if (!run(QStringLiteral("PRAGMA synchronous=NORMAL")) || !run(QStringLiteral("PRAGMA foreign_keys=ON"))) {
        *message = query.lastError().text();
        return false;
    }
    return true;
}

void Database::closeConnection()
{
    if (m_connection.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
}

bool Database::transaction(const std::function<bool(QSqlDatabase &)> &work, QString *error)
{
    m_lastTransactionCode = 0;
    QSqlDatabase db = connection();
    if (!db.isOpen()) {
        if (error)
            *error = QStringLiteral("Die Datenbank ist nicht geöffnet");
        return false;
    }
    // IMMEDIATE takes the write lock at the start: a deferred transaction
    // that later needs it fails at once when another writer holds it,
    // instead of waiting for the busy timeout.
    QSqlQuery begin(db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        m_lastTransactionCode = primaryCode(begin.lastError());
        noteDamage(begin.lastError());
        if (error)
            *error = begin.lastError().text();
        return false;
    }
    begin.finish();
    if (work(db)) {
        QSqlQuery commit(db);
        if (commit.exec(QStringLiteral("COMMIT")))
            return true;
        m_lastTransactionCode = primaryCode(commit.lastError());
        noteDamage(commit.lastError());
        if (error)
            *error = commit.lastError().text();
    } else if (error && error->isEmpty()) {
        *error = QStringLiteral("Die Änderung wurde nicht gespeichert");
    }
    QSqlQuery rollback(db);
    rollback.exec(QStringLiteral("ROLLBACK"));
    return false;
}

bool Database::migrate(const Schema &schema, QString *error)
{
    return transaction(
        [&](QSqlDatabase &db) {
            if (!exec(db,
                      QStringLiteral("CREATE TABLE IF NOT EXISTS schema_steps "
                                     "(name TEXT PRIMARY KEY, steps INTEGER NOT NULL)"),
                      error))
                return false;
            int done = 0;
            {
                QSqlQuery query(db);
                query.prepare(QStringLiteral("SELECT steps FROM schema_steps WHERE name = ?"));
                query.addBindValue(schema.name);
                if (!query.exec()) {
                    if (error)
                        *error = query.lastError().text();
                    return false;
                }
                if (query.next())
                    done = query.value(0).toInt();
            }
            if (done > schema.steps.size()) {
                if (error)
                    *error = QStringLiteral("Die Datenbank stammt von einer neueren Version von Tarnvik");
                return false;
            }
            for (qsizetype step = done; step < schema.steps.size(); ++step) {
                for (const QString &statement : schema.steps.at(step)) {
                    if (!exec(db, statement, error))
                        return false;
                }
            }
            if (done == schema.steps.size())
                return true;
            QSqlQuery record(db);
            record.prepare(QStringLiteral("INSERT INTO schema_steps (name, steps) VALUES (?, ?) "
                                          "ON CONFLICT(name) DO UPDATE SET steps = excluded.steps"));
            record.addBindValue(schema.name);
            record.addBindValue(int(schema.steps.size()));
            if (!record.exec()) {
                if (error)
                    *error = record.lastError().text();
                return false;
            }
            return true;
        },
        error);
}

int Database::schemaVersion(const QString &name) const
{
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT steps FROM schema_steps WHERE name = ?"));
    query.addBindValue(name);
    if (!query.exec() || !query.next())
        return 0;
    return query.value(0).toInt();
}

bool Database::noteDamage(const QSqlError &error)
{
    if (!isDamage(error) || m_path.isEmpty())
        return false;
    QFile marker(damageMarker(m_path));
    if (marker.open(QIODevice::WriteOnly))
        marker.close();
    return true;
}

} // namespace tarnvik
