// The program's own store against real SQLite files.
#include "state/Database.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using tarnvik::Database;
using tarnvik::Schema;

namespace {

const Schema kNotes{QStringLiteral("notes"),
                    {{QStringLiteral("CREATE TABLE notes (id INTEGER PRIMARY KEY, text TEXT NOT NULL)")},
                     {QStringLiteral("ALTER TABLE notes ADD COLUMN author TEXT")}}};

int count(const Database &db, const QString &table)
{
    QSqlQuery query(db.connection());
    return query.exec(QStringLiteral("SELECT count(*) FROM ") + table) && query.next() ? query.value(0).toInt() : -1;
}

bool insert(Database &db, const QString &text)
{
    return db.transaction([&](QSqlDatabase &c) {
        QSqlQuery query(c);
        query.prepare(QStringLiteral("INSERT INTO notes (text) VALUES (?)"));
        query.addBindValue(text);
        return query.exec();
    });
}

} // namespace

class TestDatabase : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString file() const { return m_dir.filePath(QStringLiteral("Tarnvik.sqlite")); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir dir(m_dir.path());
        for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden))
            QVERIFY(dir.remove(name));
    }

    void migratesStepByStepAndKeepsData()
    {
        {
            Database db;
            QVERIFY(db.open(file()));
            const Schema first{kNotes.name, {kNotes.steps.first()}};
            QVERIFY(db.migrate(first));
            QVERIFY(insert(db, QStringLiteral("Eiche ölen")));
            QCOMPARE(db.schemaVersion(kNotes.name), 1);
        }
        Database db;
        QVERIFY(db.open(file()));
        QVERIFY(db.migrate(kNotes));
        QVERIFY(db.migrate(kNotes)); // a second run changes nothing
        QCOMPARE(db.schemaVersion(kNotes.name), 2);
        QCOMPARE(count(db, QStringLiteral("notes")), 1);
        QSqlQuery mode(db.connection());
        QVERIFY(mode.exec(QStringLiteral("PRAGMA journal_mode")) && mode.next());
        QCOMPARE(mode.value(0).toString(), QStringLiteral("wal"));
    }

    void failingStepAndNewerFileLeaveTheStoreAsItWas()
    {
        Database db;
        QVERIFY(db.open(file()));
        QVERIFY(db.migrate(kNotes));
        QString error;
        Schema broken = kNotes;
        broken.steps << QStringList{QStringLiteral("CREATE TABLE extra (x)"), QStringLiteral("NONSENSE")};
        QVERIFY(!db.migrate(broken, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(db.schemaVersion(kNotes.name), 2);
        QCOMPARE(count(db, QStringLiteral("extra")), -1);

        const Schema older{kNotes.name, {kNotes.steps.first()}};
        QVERIFY(!db.migrate(older, &error));
        QVERIFY(error.contains(QStringLiteral("neueren Version")));
    }

    void damagedFileIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("marked");
        QTest::newRow("no database") << QByteArray("Dies ist keine Datenbank, sondern Text.").repeated(200) << false;
        QTest::newRow("damaged pages, marked by an earlier run") << QByteArray() << true;
    }

    void damagedFileIsSetAside()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, marked);
        if (content.isEmpty()) {
            // A real store whose later pages are overwritten with noise.
            {
                Database db;
                QVERIFY(db.open(file()));
                QVERIFY(db.migrate(kNotes));
                for (int i = 0; i < 300; ++i)
                    QVERIFY(insert(db, QString(200, QLatin1Char('a' + i % 26))));
            }
            QFile raw(file());
            QVERIFY(raw.open(QIODevice::ReadWrite));
            QVERIFY(raw.size() > 8 * 4096);
            raw.seek(4 * 4096);
            raw.write(QByteArray(4 * 4096, '\x5a'));
        } else {
            QFile raw(file());
            QVERIFY(raw.open(QIODevice::WriteOnly));
            raw.write(content);
        }
        if (marked) {
            QFile marker(file() + QStringLiteral(".prüfen"));
            QVERIFY(marker.open(QIODevice::WriteOnly));
        }
        Database db;
        QString message;
        QVERIFY(db.open(file(), &message));
        QVERIFY2(message.contains(QStringLiteral("beschädigt")), qPrintable(message));
        QVERIFY(db.migrate(kNotes));
        QCOMPARE(count(db, QStringLiteral("notes")), 0);
        const QStringList aside = QDir(m_dir.path()).entryList({QStringLiteral("Tarnvik.sqlite.beschädigt-*")});
        QVERIFY(!aside.isEmpty());
        QVERIFY(!QFile::exists(file() + QStringLiteral(".prüfen")));
    }

    void unusableFolderIsReported()
    {
        // A file where the folder should be: no store can be made there,
        // not even by the superuser.
        const QString blocked = m_dir.filePath(QStringLiteral("blockiert"));
        QFile blocker(blocked);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        Database db;
        QString message;
        QVERIFY(!db.open(blocked + QStringLiteral("/Tarnvik.sqlite"), &message));
        QVERIFY2(message.contains(QStringLiteral("kann nicht geöffnet werden")), qPrintable(message));
        QVERIFY(!db.isOpen());
    }

    void twoWritersAtOnceLoseNothing()
    {
        // Both set the new file up at the same moment, as two program
        // instances started together do, then write in turns.
        constexpr int kRounds = 10;
        constexpr int kEach = 20;
        for (int round = 0; round < kRounds; ++round) {
            const QString path = m_dir.filePath(QStringLiteral("zwei-%1.sqlite").arg(round));
            std::atomic<int> failures{0};
            const auto writer = [&](const QString &who) {
                Database db;
                if (!db.open(path) || !db.migrate(kNotes)) {
                    ++failures;
                    return;
                }
                for (int i = 0; i < kEach; ++i) {
                    if (!insert(db, who + QString::number(i)))
                        ++failures;
                }
            };
            std::unique_ptr<QThread> a(QThread::create(writer, QStringLiteral("a")));
            std::unique_ptr<QThread> b(QThread::create(writer, QStringLiteral("b")));
            a->start();
            b->start();
            QVERIFY(a->wait(60000) && b->wait(60000));
            QCOMPARE(failures.load(), 0);
            Database db;
            QVERIFY(db.open(path));
            QCOMPARE(count(db, QStringLiteral("notes")), 2 * kEach);
        }
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
