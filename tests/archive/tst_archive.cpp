// The archive without windows: German matching through the real indexes,
// pages read into threads, threads kept in place, the offline view, and
// the faults (a damaged file, a full disk, no folder, two processes).
#include "ThreadPage.h"
#include "archive/Archive.h"
#include "archive/ArchiveView.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnvik::archive;
using tarnvik::Database;
using threadpage::Message;

namespace {

const QStringList kDocuments{
    QStringLiteral("Schränke aus Eiche, frisch geölt"),
    QStringLiteral("Viele Grüße aus der Werkstatt"),
    QStringLiteral("Die Straße zur Hobelbank"),
    QStringLiteral("Ein Tisch aus Eichenholz"),
    QStringLiteral("Eine alte Rauhbank restauriert"),
    QStringLiteral("Die Quelle des Leims"),
    QStringLiteral("Pause im Café"),
    QStringLiteral("Schrauben für Kiefer"),
};

ArchivedThread threadOf(qint32 number, const QStringList &texts)
{
    ArchivedThread thread;
    thread.section = Forums::HandTools;
    thread.number = number;
    thread.title = QStringLiteral("Faden %1").arg(number);
    thread.address = threadpage::address(number);
    for (int i = 0; i < texts.size(); ++i) {
        ArchivedMessage m;
        m.key = QStringLiteral("k%1").arg(i);
        m.title = QStringLiteral("Beitrag %1").arg(i);
        m.author = QStringLiteral("Holzwurm");
        m.posted = QDateTime(QDate(2021, 3, 1 + i % 28), QTime(12, 0));
        m.text = texts.at(i);
        thread.messages.append(m);
    }
    return thread;
}

int count(Database &db, const QString &sql)
{
    QSqlQuery query(db.connection());
    return query.exec(sql) && query.next() ? query.value(0).toInt() : -1;
}

QList<qint32> foundThreads(ArchiveStore &store, const QString &text)
{
    SearchRequest request;
    request.text = text;
    QList<qint32> numbers;
    for (const ThreadHit &hit : store.search(request).threads)
        numbers << hit.number;
    return numbers;
}

// The child process of twoProcessesWriteOneArchive: keeps threads `first`
// to `first + count - 1`, each of `messages` messages.
int keepThreads(const QStringList &args)
{
    Archive archive({args.value(0), QString(), true, 0});
    int kept = 0;
    QObject::connect(&archive, &Archive::kept, [&kept] { ++kept; });
    QObject::connect(&archive, &Archive::notice, [](const QString &text) { qWarning("%s", qPrintable(text)); });
    const int first = args.value(1).toInt();
    const int threads = args.value(2).toInt();
    const int messages = args.value(3).toInt();
    for (int n = first; n < first + threads; ++n)
        archive.keepShownPage(threadpage::address(n), threadpage::numbered(n, messages));
    QSignalSpy done(&archive, &Archive::writesDone);
    return done.wait(120000) && kept == threads ? 0 : 1;
}

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    Database m_db;
    std::unique_ptr<ArchiveStore> m_store;

    QString file(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_db.open(file(QStringLiteral("Tarnvik.sqlite"))));
        QVERIFY(m_db.migrate(ArchiveStore::schema()));
        m_store = std::make_unique<ArchiveStore>(m_db);
        for (int i = 0; i < kDocuments.size(); ++i)
            QVERIFY(m_store->keep(threadOf(i + 1, {kDocuments.at(i)})).ok);
    }

    void germanMatching_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("document"); // 1-based; 0: nothing
        QTest::newRow("umlaut typed plain") << "schranke" << 1;
        QTest::newRow("umlaut typed as ae") << "Schraenke" << 1;
        QTest::newRow("wrong capitals") << "sCHRÄNKE" << 1;
        QTest::newRow("ue and ss for ü and ß") << "Gruesse" << 2;
        QTest::newRow("ss for ß") << "Strasse" << 3;
        QTest::newRow("prefix") << "hobel" << 3;
        QTest::newRow("part of a compound") << "holz" << 4;
        QTest::newRow("part and word") << "tisch holz" << 4;
        QTest::newRow("oe for ö") << "geoelt" << 1;
        QTest::newRow("two words") << "eiche schränke" << 1;
        QTest::newRow("phrase") << "\"alte rauhbank\"" << 5;
        QTest::newRow("phrase in other order") << "\"rauhbank alte\"" << 0;
        QTest::newRow("phrase is whole words") << "\"alte rauh\"" << 0;
        QTest::newRow("qu keeps its e") << "Quelle" << 6;
        QTest::newRow("other accents") << "cafe" << 7;
        QTest::newRow("not a near word") << "Schranken" << 0;
        QTest::newRow("both words needed") << "eiche kiefer" << 0;
    }

    void germanMatching()
    {
        QFETCH(QString, query);
        QFETCH(int, document);
        const QList<qint32> found = foundThreads(*m_store, query);
        if (document == 0)
            QVERIFY2(found.isEmpty(), qPrintable(QDebug::toString(found)));
        else
            QVERIFY2(found.contains(document), qPrintable(QDebug::toString(found)));
    }

    void hitsAreMarkedWhereWritten_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("insideWords");
        QTest::addColumn<QString>("marked");
        QTest::newRow("ae for ä") << "Die Schränke aus Eiche" << "schraenke" << false << "Die [Schränke] aus Eiche";
        QTest::newRow("ue, ss") << "Viele Grüße!" << "gruesse" << false << "Viele [Grüße]!";
        QTest::newRow("inside a word") << "Eichenholzschränke" << "holz" << true << "Eichen[holz]schränke";
        QTest::newRow("word starts only") << "Hobelbank, Schrupphobel" << "hobel" << false << "[Hobel]bank, Schrupphobel";
        QTest::newRow("phrase over a line") << "alte\nRauhbank" << "\"alte rauhbank\"" << false << "[alte\nRauhbank]";
        QTest::newRow("text is escaped") << "<b>&\"" << "b" << false << "&lt;[b]&gt;&amp;&quot;";
    }

    void hitsAreMarkedWhereWritten()
    {
        QFETCH(QString, text);
        QFETCH(QString, query);
        QFETCH(bool, insideWords);
        QFETCH(QString, marked);
        const QList<SearchTerm> terms = parseQuery(query);
        QCOMPARE(markedHtml(text, findHits(text, terms, insideWords), QStringLiteral("["), QStringLiteral("]")), marked);
    }

    void readsAWholeThreadPage()
    {
        const QString longText = QString(kMaxTextChars + 500, QLatin1Char('x'));
        const QString page = threadpage::body(
            QStringLiteral("Hobeleisen &amp; Co"),
            {{1006, QStringLiteral("Schärfen"), QStringLiteral("Span &lt;Meister&gt;"),
              QStringLiteral("3. März 2021 um 12:34:56"),
              {QStringLiteral("Erste Zeile &lt;script&gt;alert(1)&lt;/script&gt;"),
               QStringLiteral("Zweite <SCRIPT>evil()</SCRIPT>Zeile   mit  Luft"),
               QStringLiteral("<IMG SRC=\"javascript:alert(1)\"><IMG SRC=\"/Bilder/B7.jpg\">")},
              QStringLiteral("<P><IMG SRC=\"http://bilder.example/B8.jpg\"></P>")},
             {1007, QStringLiteral("Re: Schärfen"), QStringLiteral("Holzwurm"), QStringLiteral("04.03.2021, 08:15"),
              {longText}, {}}});
        const std::optional<ArchivedThread> thread = readThreadPage(threadpage::address(1005), page);
        QVERIFY(thread);
        QCOMPARE(thread->number, 1005);
        QCOMPARE(thread->title, QStringLiteral("Hobeleisen & Co"));
        QCOMPARE(thread->messages.size(), 2);
        const ArchivedMessage &first = thread->messages.first();
        QCOMPARE(first.number, 1006);
        QCOMPARE(first.author, QStringLiteral("Span <Meister>"));
        QCOMPARE(first.posted, QDateTime(QDate(2021, 3, 3), QTime(12, 34, 56)));
        QCOMPARE(first.text, QStringLiteral("Erste Zeile <script>alert(1)</script>\nZweite Zeile mit Luft"));
        QCOMPARE(first.pictures.size(), 2);
        QCOMPARE(first.pictures.at(0).address, QStringLiteral("http://127.0.0.1:18480/Bilder/B7.jpg"));
        QCOMPARE(first.pictures.at(1).address, QStringLiteral("http://bilder.example/B8.jpg"));
        QCOMPARE(thread->messages.at(1).posted, QDateTime(QDate(2021, 3, 4), QTime(8, 15)));
        QCOMPARE(thread->messages.at(1).text.size(), kMaxTextChars);
        QVERIFY(first.key != thread->messages.at(1).key);
        // A page that is no whole thread is not kept.
        QVERIFY(!readThreadPage(QStringLiteral("http://127.0.0.1:18480/cgi-bin/forum/webbbs_config.pl/read/1006"), page));
    }

    void keepsInPlace()
    {
        const qint32 number = 500;
        const auto messages = [&](int n) {
            return threadpage::numbered(number, n);
        };
        const auto keep = [&](const QString &body) {
            return m_store->keep(*readThreadPage(threadpage::address(number), body));
        };
        QCOMPARE(keep(messages(3)).added, 3);
        const KeepResult again = keep(messages(3));
        QVERIFY(again.ok);
        QCOMPARE(again.added + again.changed, 0);
        QCOMPARE(keep(messages(5)).added, 2);
        const QString where = QStringLiteral(" FROM archive_messages m JOIN archive_threads t ON t.id = m.thread "
                                             "WHERE t.number = %1").arg(number);
        QCOMPARE(count(m_db, QStringLiteral("SELECT count(*)") + where), 5);

        // A changed text replaces the old one in the index too.
        QString edited = messages(5);
        edited.replace(QStringLiteral("Faden500 Beitrag4 über"), QStringLiteral("Faden500 Beitrag4 Zinkenfräse über"));
        const KeepResult changed = keep(edited);
        QCOMPARE(changed.changed, 1);
        QCOMPARE(changed.added, 0);
        QCOMPARE(foundThreads(*m_store, QStringLiteral("zinkenfraese")), QList<qint32>{number});

        // An export adds the local copy of a picture; a later read keeps it.
        const QString picture = file(QStringLiteral("Faden_01.jpg"));
        QFile(picture).open(QIODevice::WriteOnly);
        QStringList lines = messages(5).split(QStringLiteral("\r\n"));
        lines.insert(lines.indexOf(QStringLiteral("<P><A href=\"/cgi-bin/forum/webbbs_config.pl/read/500\">Einzelansicht</A></P>")),
                     QStringLiteral("<P><IMG SRC=\"%1\"></P>").arg(QUrl::fromLocalFile(picture).toString()));
        const QUrl original(QStringLiteral("http://127.0.0.1:18481/Bilder/B200.jpg"));
        QVERIFY(m_store->keep(*readExportedThread(QUrl(threadpage::address(number)), lines, {{original, picture}})).ok);
        QVERIFY(keep(edited).ok);
        QSqlQuery pictures(m_db.connection());
        QVERIFY(pictures.exec(QStringLiteral("SELECT p.address, p.local_file FROM archive_pictures p "
                                             "JOIN archive_messages m ON m.id = p.message "
                                             "JOIN archive_threads t ON t.id = m.thread WHERE t.number = 500")));
        QVERIFY(pictures.next());
        QCOMPARE(pictures.value(0).toString(), original.toString());
        QCOMPARE(pictures.value(1).toString(), picture);
        QVERIFY(!pictures.next());
        QCOMPARE(count(m_db, QStringLiteral("SELECT count(*)") + where), 5);
        QCOMPARE(count(m_db, QStringLiteral("SELECT exported FROM archive_threads WHERE number = 500")), 1);
    }

    void offlineViewEscapesHostileText()
    {
        const QString inside = m_dir.filePath(QStringLiteral("Bilder"));
        QDir().mkpath(inside);
        const QString copy = inside + QStringLiteral("/B1.jpg");
        QFile(copy).open(QIODevice::WriteOnly);
        StoredThread thread{7, Forums::HandTools, 1001, QStringLiteral("<script>alert(1)</script>"), true, {}};
        thread.messages.append({42, 1001, QStringLiteral("\"><img src=x onerror=alert(1)>"),
                                QStringLiteral("<b>Meister</b>"), QDateTime(QDate(2021, 3, 3), QTime(9, 5)),
                                QStringLiteral("Hobel </div><iframe src=javascript:alert(1)>\nzweite Zeile"),
                                {{QStringLiteral("javascript:alert(1)"), QString()},
                                 {QStringLiteral("http://bilder.example/x\"onload=\"alert(1).jpg"), QString()},
                                 {QString(), copy},
                                 {QString(), m_dir.filePath(QStringLiteral("Tarnvik.sqlite"))}}});
        const QString html = offlineViewHtml(thread, {parseQuery(QStringLiteral("hobel")), false, inside});
        QVERIFY(!html.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
        QVERIFY(!html.contains(QStringLiteral("<iframe"), Qt::CaseInsensitive));
        QVERIFY(!html.contains(QStringLiteral("<img src=x"), Qt::CaseInsensitive));
        QVERIFY(!html.contains(QStringLiteral("javascript:alert(1)\"")));
        QVERIFY(!html.contains(QStringLiteral("Tarnvik.sqlite")));
        QVERIFY(html.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;")));
        QVERIFY(html.contains(QStringLiteral("<mark>Hobel</mark> &lt;/div&gt;")));
        QVERIFY(html.contains(QStringLiteral("<br>\nzweite Zeile")));
        QVERIFY(html.contains(QStringLiteral("<img src=\"%1\"").arg(QUrl::fromLocalFile(copy).toString(QUrl::FullyEncoded))));
        QVERIFY(!html.contains(QStringLiteral("\"onload")));
        QVERIFY(html.contains(QStringLiteral("<a href=\"%1\">Im Forum öffnen</a>").arg(liveThreadAddress(Forums::HandTools, 1001))));
        QVERIFY(html.contains(QStringLiteral("id=\"%1\"").arg(messageAnchor(42))));
        QVERIFY(html.contains(QStringLiteral("Content-Security-Policy")));
    }

    void damagedDatabaseIsSetAsideOnce()
    {
        const QString path = file(QStringLiteral("beschaedigt.sqlite"));
        QFile garbage(path);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray("Kein SQLite, nur Sägespäne. ").repeated(300));
        garbage.close();
        for (int run = 0; run < 2; ++run) {
            Archive archive({path, QString(), true, 0});
            QSignalSpy notice(&archive, &Archive::notice);
            QSignalSpy kept(&archive, &Archive::kept);
            archive.keepShownPage(threadpage::address(9), threadpage::numbered(9, 2));
            QVERIFY(kept.wait(10000));
            QCOMPARE(notice.size(), run == 0 ? 1 : 0);
            if (run == 0)
                QVERIFY(notice.first().first().toString().contains(QStringLiteral("beschädigt")));
        }
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("beschaedigt.sqlite.beschädigt-*")}).size(), 1);
    }

    void unwritableStoreStopsArchivingAndSaysSoOnce_data()
    {
        QTest::addColumn<bool>("full");
        QTest::newRow("no folder for the file") << false;
        QTest::newRow("disk full") << true;
    }

    void unwritableStoreStopsArchivingAndSaysSoOnce()
    {
        QFETCH(bool, full);
        // A file where the folder should be: not even the superuser makes a store there.
        QFile blocker(file(QStringLiteral("blockiert")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const QString path = full ? file(QStringLiteral("voll.sqlite")) : blocker.fileName() + QStringLiteral("/T.sqlite");
        Archive archive({path, QString(), true, full ? 10 : 0});
        QSignalSpy notice(&archive, &Archive::notice);
        QSignalSpy done(&archive, &Archive::writesDone);
        for (int n = 1; n <= 3; ++n)
            archive.keepShownPage(threadpage::address(n), threadpage::numbered(n, 400));
        QTRY_VERIFY_WITH_TIMEOUT(!archive.writing() && archive.pendingWrites() == 0, 20000);
        QTRY_COMPARE(notice.size(), 1);
        QVERIFY(notice.first().first().toString().contains(QStringLiteral("ohne Archiv")));
        archive.keepShownPage(threadpage::address(4), threadpage::numbered(4, 2));
        QCOMPARE(archive.pendingWrites(), 0);
        QTest::qWait(50);
        QCOMPARE(notice.size(), 1);
    }

    void readThreadsFollowTheSetting_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("keep");
        QTest::newRow("missing") << QVariant() << true;
        QTest::newRow("true") << QVariant(QStringLiteral("true")) << true;
        QTest::newRow("false") << QVariant(QStringLiteral("false")) << false;
        QTest::newRow("0") << QVariant(QStringLiteral("0")) << false;
        QTest::newRow("nonsense") << QVariant(QStringLiteral("vielleicht")) << true;
    }

    void readThreadsFollowTheSetting()
    {
        QFETCH(QVariant, value);
        QFETCH(bool, keep);
        QSettings settings(file(QStringLiteral("Tarnvik.conf")), QSettings::IniFormat);
        settings.clear();
        if (value.isValid())
            settings.setValue(QStringLiteral("Archiv/Gelesene"), value);
        QCOMPARE(keepReadSetting(settings), keep);
        if (keep)
            return;
        // Exports are kept all the same.
        Archive archive({file(QStringLiteral("Tarnvik.sqlite")), QString(), false, 0});
        archive.keepShownPage(threadpage::address(600), threadpage::numbered(600, 1));
        QCOMPARE(archive.pendingWrites(), 0);
        QSignalSpy kept(&archive, &Archive::kept);
        archive.keepExport(QUrl(threadpage::address(601)), threadpage::numbered(601, 1).split(QStringLiteral("\r\n")), {});
        QVERIFY(kept.wait(10000));
        QCOMPARE(kept.first().first().toInt(), 601);
    }

    void twoProcessesWriteOneArchive()
    {
        const QString path = file(QStringLiteral("zwei.sqlite"));
        // The second process keeps half of the first one's threads again,
        // grown by two messages each, and as many threads of its own.
        QProcess a, b;
        a.setProcessChannelMode(QProcess::ForwardedChannels);
        b.setProcessChannelMode(QProcess::ForwardedChannels);
        a.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--keep"), path, QStringLiteral("1000"),
                                                          QStringLiteral("40"), QStringLiteral("30")});
        b.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--keep"), path, QStringLiteral("1020"),
                                                          QStringLiteral("40"), QStringLiteral("32")});
        QVERIFY(a.waitForFinished(180000) && b.waitForFinished(180000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        Database db;
        QVERIFY(db.open(path));
        QCOMPARE(count(db, QStringLiteral("SELECT count(*) FROM archive_threads")), 60);
        QCOMPARE(count(db, QStringLiteral("SELECT count(*) FROM archive_messages")), 20 * 30 + 40 * 32);
        QSqlQuery check(db.connection());
        QVERIFY(check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next());
        QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
        QVERIFY2(check.exec(QStringLiteral("INSERT INTO archive_words (archive_words) VALUES ('integrity-check')")),
                 qPrintable(check.lastError().text()));
        ArchiveStore store(db);
        QCOMPARE(foundThreads(store, QStringLiteral("faden1059")), QList<qint32>{1059});
        QCOMPARE(foundThreads(store, QStringLiteral("faden1000")), QList<qint32>{1000});
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--keep")
        return keepThreads(app.arguments().mid(2));
    TestArchive test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_archive.moc"
