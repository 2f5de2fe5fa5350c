// Watching threads without a window: reading pages, counting new messages,
// planning checks, their timing, the store, and a check against the simulator.
#include "SimPost.h"
#include "state/Database.h"
#include "watch/CheckPlan.h"
#include "watch/CheckSchedule.h"
#include "watch/WatchEngine.h"
#include "watch/WatchStore.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnvik::watch;

namespace {

// "1001^0 1002^1001 | 2001^0": each thread's messages with their parents.
QString shape(const ListedThreads &listed)
{
    QStringList threads;
    for (const PageThread &t : listed.threads) {
        QStringList messages;
        for (const PageMessage &m : t.messages)
            messages << QStringLiteral("%1^%2").arg(m.number).arg(m.parent);
        threads << messages.join(u' ');
    }
    return threads.join(QStringLiteral(" | "));
}

// "1001r 1002u": known messages, read or unread.
QList<KnownMessage> known(const QString &spec)
{
    QList<KnownMessage> out;
    for (const QString &item : spec.split(u' ', Qt::SkipEmptyParts))
        out.append({item.chopped(1).toInt(), item.endsWith(u'r'), {}, {}});
    return out;
}

QString describe(const QList<KnownMessage> &messages)
{
    QStringList out;
    for (const KnownMessage &m : messages)
        out << QString::number(m.number) + (m.read ? u'r' : u'u');
    return out.join(u' ');
}

const QByteArray kSimulatorIndex =
    "<HTML><HEAD><TITLE>Handwerkzeug-Forum</TITLE>\n"
    "<META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n</HEAD>\n<BODY>\n<HR>\n<UL>\n"
    "<LI><A HREF=\"/cgi-bin/forum/webbbs_config.pl/read/1001\">Hobelbank aus Buche – Erfahrungen?</A>"
    " – Jürgen Weißhaupt, 18.11.2023, 19:42\n<UL>\n"
    "<LI><A HREF=\"/cgi-bin/forum/webbbs_config.pl/read/1002\">Re: Hobelbank</A> – Sören Maßmann, 18.11.2023, 20:55\n"
    "<UL>\n<LI><A HREF=\"/cgi-bin/forum/webbbs_config.pl/read/1003\">Re: Hobelbank</A> – Jürgen Weißhaupt, "
    "18.11.2023, 22:22</LI>\n</UL></LI>\n"
    "<LI><A HREF=\"/cgi-bin/forum/webbbs_config.pl/read/1004\">Re: Hobelbank</A> – Friederike Spät, 19.11.2023, "
    "00:47</LI>\n</UL></LI>\n</UL>\n"
    "<P><SMALL><A HREF=\"/cgi-bin/forum/webbbs_config.pl/read/1001/thread#1001\">ganzer Thread</A></SMALL></P>\n"
    "<UL>\n<LI><A HREF=\"/cgi-bin/forum/webbbs_config.pl/read/1005\">Schärfen</A> – Björn Kästner, 17.11.2023, "
    "21:05</LI>\n</UL>\n<HR>\n<P align=center><STRONG><A HREF=\"/cgi-bin/forum/webbbs_config.pl\">Seite 1</A>"
    "</STRONG> | <A HREF=\"/cgi-bin/forum/webbbs_config.pl/page/2\">Seite 2</A> | "
    "<A HREF=\"/cgi-bin/forum/webbbs_config.pl/page/3\">Seite 3</A></P>\n</BODY></HTML>\n";

} // namespace

class TestWatchCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void threadLists_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("secondAuthor"); // of the first thread's second message
        QTest::addColumn<QString>("secondTime");
        QTest::addColumn<int>("lastPage");

        QTest::newRow("the simulator: capitals, quoted, answers at depth two")
            << kSimulatorIndex << QStringLiteral("1001^0 1002^1001 1003^1002 1004^1001 | 1005^0")
            << QStringLiteral("Sören Maßmann") << QStringLiteral("18.11.2023, 20:55") << 3;
        QTest::newRow("small letters, single quotes, items left open")
            << QByteArray("<html><body><ul><li><a href='/cgi-bin/forum/webbbs_config.pl/read/11'>Frage</a> - Anna, "
                          "1.2.2024, 10:00<ul><li><a href='/cgi-bin/forum/webbbs_config.pl/read/12'>Re</a> - Bernd, "
                          "1.2.2024, 11:00<li><a href='/cgi-bin/forum/webbbs_config.pl/read/13'>Re</a> - Carla"
                          "</ul></ul><a href='/cgi-bin/forum/webbbs_config.pl/page/7'>7</a></body></html>")
            << QStringLiteral("11^0 12^11 13^11") << QStringLiteral("Bernd") << QStringLiteral("1.2.2024, 11:00") << 7;
        QTest::newRow("no quotes, answers four deep, link inside bold")
            << QByteArray("<UL><LI><A HREF=/x/read/21>A</A> – Eins<UL><LI><B><A HREF=/x/read/22>B</A></B> – Zwei<UL>"
                          "<LI><A HREF=/x/read/23>C</A><UL><LI><A HREF=/x/read/24>D</A></LI></UL></LI></UL></LI>"
                          "</UL></LI><LI><A HREF=/x/read/25>E</A></LI></UL>")
            << QStringLiteral("21^0 22^21 23^22 24^23 | 25^0") << QStringLiteral("Zwei") << QString() << 0;
        QTest::newRow("Windows-1252 without a declaration")
            << QByteArray("<ul><li><a href=/f/read/31>Hobelb\xe4nke</a> \x96 J\xfcrgen Wei\xdf, 02.01.2024, 08:15<ul>"
                          "<li><a href=/f/read/32>Re</a> \x96 D\xf6rte Fu\xdf, 02.01.2024, 09:00</ul></ul>")
            << QStringLiteral("31^0 32^31") << QStringLiteral("Dörte Fuß") << QStringLiteral("02.01.2024, 09:00") << 0;
        QTest::newRow("whole-thread links and other addresses are no messages")
            << QByteArray("<UL><LI><A HREF=/f/read/41/thread#41>ganzer Thread</A><LI><A HREF=/f/read/abc>x</A>"
                          "<LI><A HREF=/f/read/1234567890>y</A><LI><A HREF=/f/page/2>z</A></UL>")
            << QString() << QString() << QString() << 2;
        QTest::newRow("a message listed twice counts once")
            << QByteArray("<UL><LI><A HREF=/f/read/51>a</A><UL><LI><A HREF=/f/read/52>b</A></UL></UL>"
                          "<UL><LI><A HREF=/f/read/51>a</A></UL>")
            << QStringLiteral("51^0 52^51") << QString() << QString() << 0;
    }

    void threadLists()
    {
        QFETCH(QByteArray, html);
        QFETCH(QString, expected);
        QFETCH(QString, secondAuthor);
        QFETCH(QString, secondTime);
        QFETCH(int, lastPage);
        const ListedThreads listed = readThreadLists(html);
        QCOMPARE(shape(listed), expected);
        QCOMPARE(listed.lastPage, lastPage);
        if (!secondAuthor.isEmpty()) {
            QCOMPARE(listed.threads.first().messages.at(1).author, secondAuthor);
            QCOMPARE(listed.threads.first().messages.at(1).time, secondTime);
        }
    }

    void wholeThread_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("expected");
        QTest::newRow("the simulator, a forum link in a message's text")
            << QByteArray("<P align=center><BIG><BIG><STRONG>Titel</STRONG></BIG></BIG></P>\n<HR>\n"
                          "<P align=center><EM>Geschrieben von Jürgen Weißhaupt am 18. November 2023 um 19:42:10</EM></P>\n"
                          "<BLOCKQUOTE><P><FONT face=Arial>Siehe <A HREF=\"/cgi-bin/forum/webbbs_config.pl/read/1005\">"
                          "dort</A></FONT></P></BLOCKQUOTE>\n<P><A HREF=\"/cgi-bin/forum/webbbs_config.pl/read/1001\">"
                          "Einzelansicht</A></P>\n<HR>\n<P align=center><EM>Geschrieben von Sören Maßmann am "
                          "18. November 2023 um 20:55:00</EM></P>\n<BLOCKQUOTE><P>Text</P></BLOCKQUOTE>\n"
                          "<P><A HREF=\"/cgi-bin/forum/webbbs_config.pl/read/1002\">Einzelansicht</A></P>\n"
                          "<P align=center><A HREF=\"/cgi-bin/forum/webbbs_config.pl\">Zurück zum Index</A></P>")
            << QStringLiteral("1001 Jürgen Weißhaupt @18. November 2023 um 19:42:10; "
                              "1002 Sören Maßmann @18. November 2023 um 20:55:00");
        QTest::newRow("small letters, the author in bold, Windows-1252")
            << QByteArray("<p><em>Geschrieben von <b>J\xfcrgen</b> am 1.1.2024</em><blockquote>x</blockquote>"
                          "<a href='/f/read/7'>Einzelansicht</a><p><a href='/f/read/8'>Einzelansicht</a>")
            << QStringLiteral("7 Jürgen @1.1.2024; 8  @");
    }

    void wholeThread()
    {
        QFETCH(QByteArray, html);
        QFETCH(QString, expected);
        QStringList got;
        for (const PageMessage &m : readWholeThread(html))
            got << QStringLiteral("%1 %2 @%3").arg(m.number).arg(m.author, m.time);
        QCOMPARE(got.join(QStringLiteral("; ")), expected);
    }

    void encodingAndAddresses()
    {
        QCOMPARE(pageEncoding("text/html; charset=UTF-8", "\xe4"), QByteArray("UTF-8"));
        QCOMPARE(pageEncoding("text/html; charset=\"ISO-8859-1\"", "abc"), QByteArray("windows-1252"));
        QCOMPARE(pageEncoding("text/html", "Gr\xc3\xbc\xc3\x9f" "e"), QByteArray("UTF-8"));
        QCOMPARE(pageEncoding({}, "Gr\xfc\xdf" "e"), QByteArray("windows-1252"));
        QCOMPARE(pageEncoding("text/html; charset=koi8-r", "abc"), QByteArray("koi8-r"));

        const ForumAddress whole = forumAddress(QStringLiteral("http://h:1/cgi-bin/forum/webbbs_config.pl/read/1001/thread#1001"));
        QCOMPARE(whole.section, QStringLiteral("forum"));
        QVERIFY(whole.message.wholeThread && whole.message.number == 1001);
        const ForumAddress single = forumAddress(QStringLiteral("http://h/cgi-bin/marktplatz/webbbs_config.pl/read/3002"));
        QVERIFY(!single.message.wholeThread && single.message.number == 3002);
        QCOMPARE(forumAddress(QStringLiteral("http://h/cgi-bin/forum/webbbs_config.pl/page/3")).indexPage, 3);
        QCOMPARE(forumAddress(QStringLiteral("http://h/cgi-bin/forum/webbbs_config.pl")).indexPage, 1);
        QVERIFY(forumAddress(QStringLiteral("http://h/cgi-bin/../webbbs_config.pl/read/5")).section.isEmpty());
        QVERIFY(forumAddress(QStringLiteral("http://h/cgi-bin/forum/webbbs_config.pl/read/5x")).section.isEmpty());
    }

    void newMessages_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("added");
        QTest::newRow("answers at any depth") << "1r 2r 3r" << "1 2 5 3 4" << "1r 2r 3r 4u 5u" << 2;
        QTest::newRow("a deleted message") << "1r 2u 3u" << "1 3" << "1r 3u" << 0;
        QTest::newRow("read before a check found it") << "1r 7r" << "1 6 7" << "1r 6u 7r" << 1;
        QTest::newRow("nothing new") << "1r 2u" << "2 1" << "1r 2u" << 0;
    }

    void newMessages()
    {
        QFETCH(QString, before);
        QFETCH(QString, listed);
        QFETCH(QString, after);
        QFETCH(int, added);
        WatchedThread thread;
        thread.messages = known(before);
        QList<PageMessage> page;
        for (const QString &n : listed.split(u' '))
            page.append({n.toInt(), 0, {}, {}, {}});
        QCOMPARE(takeListed(thread, page), added);
        QCOMPARE(describe(thread.messages), after);
    }

    void plan_data()
    {
        // Threads: "root@section:page". The forum: "section:page=root,root;..."; threads
        // missing there are answered by their whole-thread page unless listed as gone.
        QTest::addColumn<QString>("threads");
        QTest::addColumn<QString>("forum");
        QTest::addColumn<QString>("gone");
        QTest::addColumn<QString>("requests");
        QTest::addColumn<QString>("found");
        QTest::newRow("nothing watched") << "" << "f:1=1" << "" << "" << "";
        QTest::newRow("one page serves all on it, two sections")
            << "1@f:1 2@f:1 3@f:3 7@h:1" << "f:1=1,2,9;2=4;3=3 h:1=7" << ""
            << "f1 f3 h1" << "1:p1 2:p1 3:p3 7:p1";
        QTest::newRow("a thread moved to a later page")
            << "1@f:1 4@f:1" << "f:1=1,9;2=4;3=5" << "" << "f1 f2" << "1:p1 4:p2";
        QTest::newRow("moved further: its whole-thread page")
            << "4@f:1" << "f:1=9;2=8;3=4" << "" << "f1 f2 t4" << "4:t";
        QTest::newRow("a vanished thread") << "1@f:1 6@f:2" << "f:1=1;2=9" << "6" << "f1 f2 t6"
                                           << "1:p1 6:gone";
        QTest::newRow("on no index page, or found on one asked for anyway")
            << "1@f:1 8@f:0 9@f:0" << "f:1=1,9" << "" << "f1 t8" << "1:p1 8:t 9:p1";
    }

    void plan()
    {
        QFETCH(QString, threads);
        QFETCH(QString, forum);
        QFETCH(QString, gone);
        QFETCH(QString, requests);
        QFETCH(QString, found);
        static const QRegularExpression threadSpec(QStringLiteral("(\\d+)@(\\w+):(\\d+)"));
        QList<CheckPlan::Thread> watched;
        for (const QString &t : threads.split(u' ', Qt::SkipEmptyParts)) {
            const auto m = threadSpec.match(t);
            watched.append({m.captured(1).toInt(), m.captured(2), m.captured(3).toInt()});
        }
        QHash<QString, QMap<int, QSet<qint32>>> pages;
        for (const QString &section : forum.split(u' ', Qt::SkipEmptyParts)) {
            const QString word = section.section(u':', 0, 0);
            for (const QString &page : section.section(u':', 1).split(u';')) {
                QSet<qint32> roots;
                for (const QString &r : page.section(u'=', 1).split(u','))
                    roots.insert(r.toInt());
                pages[word].insert(page.section(u'=', 0, 0).toInt(), roots);
            }
        }
        CheckPlan plan(watched);
        QStringList asked;
        while (const auto request = plan.next()) {
            QVERIFY(asked.size() < 50);
            if (request->root) {
                asked << QStringLiteral("t%1").arg(request->root);
                plan.threadRead(request->root, !gone.split(u' ').contains(QString::number(request->root)));
            } else {
                asked << request->section + QString::number(request->page);
                const auto &section = pages.value(request->section);
                plan.indexRead(request->section, request->page, section.value(request->page),
                               section.isEmpty() ? 0 : section.lastKey());
            }
        }
        QCOMPARE(asked.join(u' '), requests);
        QStringList outcome;
        for (const CheckPlan::Thread &t : watched) {
            const CheckPlan::Found f = plan.found(t.root);
            outcome << QStringLiteral("%1:%2").arg(t.root).arg(
                f == CheckPlan::Found::OnIndex        ? QStringLiteral("p%1").arg(plan.pageOf(t.root))
                : f == CheckPlan::Found::OnThreadPage ? QStringLiteral("t")
                : f == CheckPlan::Found::Vanished     ? QStringLiteral("gone")
                                                      : QStringLiteral("?"));
        }
        QCOMPARE(outcome.join(u' '), found);
    }

    void schedule_data()
    {
        QTest::addColumn<qint64>("interval");
        QTest::addColumn<int>("failures");
        QTest::addColumn<qint64>("retryAfter"); // -1: none
        QTest::addColumn<double>("random");
        QTest::addColumn<qint64>("delayMs");
        QTest::newRow("on time") << qint64(900) << 0 << qint64(-1) << 0.5 << qint64(900000);
        QTest::newRow("10 % early") << qint64(900) << 0 << qint64(-1) << 0.0 << qint64(810000);
        QTest::newRow("10 % late") << qint64(900) << 0 << qint64(-1) << 1.0 << qint64(990000);
        QTest::newRow("one failure doubles") << qint64(900) << 1 << qint64(-1) << 0.5 << qint64(1800000);
        QTest::newRow("three failures") << qint64(60) << 3 << qint64(-1) << 0.5 << qint64(480000);
        QTest::newRow("up to two hours") << qint64(900) << 9 << qint64(-1) << 0.5 << qint64(7200000);
        QTest::newRow("a longer interval stays") << qint64(10800) << 2 << qint64(-1) << 0.5 << qint64(10800000);
        QTest::newRow("Retry-After beyond the back-off") << qint64(60) << 1 << qint64(3600) << 1.0 << qint64(3600000);
        QTest::newRow("Retry-After within the back-off") << qint64(900) << 1 << qint64(60) << 0.5 << qint64(1800000);
    }

    void schedule()
    {
        QFETCH(qint64, interval);
        QFETCH(int, failures);
        QFETCH(qint64, retryAfter);
        QFETCH(double, random);
        QFETCH(qint64, delayMs);
        CheckSchedule schedule(interval);
        for (int i = 0; i < failures; ++i)
            schedule.failed(i + 1 == failures && retryAfter >= 0 ? std::optional<qint64>(retryAfter) : std::nullopt);
        QCOMPARE(schedule.nextDelayMs(random), delayMs);
        schedule.succeeded();
        QCOMPARE(schedule.nextDelayMs(0.5), interval * 1000);
    }

    void retryAfterAndIntervals()
    {
        const QDateTime now(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);
        QCOMPARE(retryAfterSeconds("120", now), std::optional<qint64>(120));
        QCOMPARE(retryAfterSeconds("Fri, 01 Mar 2024 12:01:30 GMT", now), std::optional<qint64>(90));
        QCOMPARE(retryAfterSeconds("Fri, 01 Mar 2024 11:00:00 GMT", now), std::nullopt);
        QCOMPARE(retryAfterSeconds("bald", now), std::nullopt);
        QCOMPARE(retryAfterSeconds("-5", now), std::nullopt);
        QCOMPARE(retryAfterSeconds("99999999", now), std::optional<qint64>(CheckSchedule::kMaxRetryAfterSeconds));

        const QStringList none{QStringLiteral("tarnvik")};
        QCOMPARE(checkInterval({}, none), 900);
        QCOMPARE(checkInterval(QStringLiteral("30"), none), 1800);
        QCOMPARE(checkInterval(0, none), 60);
        QCOMPARE(checkInterval(QStringLiteral("bald"), none), 900);
        QCOMPARE(checkInterval(10000000, none), 86400);
        QCOMPARE(checkInterval(30, none + QStringList{"--watch-interval", "5"}), 5);
        QCOMPARE(checkInterval(30, none + QStringList{"--watch-interval=2"}), 5);
        QCOMPARE(checkInterval(30, none + QStringList{"--watch-interval", "oft"}), 1800);
    }

    void storeKeepsThreadsAndSkipsNonsense()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Tarnvik.sqlite"));
        WatchedThread thread;
        thread.root = 1001;
        thread.section = QStringLiteral("forum");
        thread.title = QStringLiteral("Hobelbank aus Buche – Erfahrungen?");
        thread.indexPage = 2;
        thread.checkedAt = QDateTime::fromSecsSinceEpoch(1700000000);
        thread.messages = {{1001, true, QStringLiteral("Jürgen"), QStringLiteral("18.11.2023, 19:42")},
                           {1004, false, QStringLiteral("Friederike"), {}}};
        WatchedThread other = thread;
        other.root = 2001;
        other.section = QStringLiteral("holzbearbeitungsmaschinen");
        other.messages = {{2001, true, {}, {}}};
        {
            WatchStore store;
            QVERIFY(store.open(file));
            QString error;
            QVERIFY2(store.save({&thread, &other}, true, &error), qPrintable(error));
            QVERIFY(store.remove(2001));
        }
        {
            tarnvik::Database db;
            QVERIFY(db.open(file));
            QVERIFY(db.transaction([](QSqlDatabase &c) {
                QSqlQuery q(c);
                return q.exec(QStringLiteral("INSERT INTO watch_threads (root, section, title) VALUES "
                                             "(-3, 'forum', 'x'), (5, '../etc', 'y')"))
                       && q.exec(QStringLiteral("INSERT INTO watch_messages (root, number, read) VALUES (1001, -1, 1)"));
            }));
            QSqlQuery left(db.connection());
            QVERIFY(left.exec(QStringLiteral("SELECT count(*) FROM watch_messages WHERE root = 2001")) && left.next());
            QCOMPARE(left.value(0).toInt(), 0);
        }
        WatchStore store;
        QVERIFY(store.open(file));
        const QList<WatchedThread> loaded = store.load();
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first().title, thread.title);
        QCOMPARE(loaded.first().indexPage, 2);
        QCOMPARE(loaded.first().checkedAt, thread.checkedAt);
        QCOMPARE(loaded.first().messages, thread.messages);
    }

    // Three watched threads on two index pages: a check asks for those two
    // pages only, finds an answer posted meanwhile, and the next check costs
    // two 304 answers and finds nothing.
    void checkAgainstTheSimulator()
    {
        ForumSim sim;
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        QNetworkAccessManager nam;
        QTemporaryDir dir;
        WatchEngine engine(simulatorChecks(sim, dir));
        engine.start();
        const auto page = [&](const QString &path) {
            return QString::fromUtf8(exchange(nam, sim.url(path)).body);
        };
        const QString forum = QStringLiteral("/cgi-bin/forum/webbbs_config.pl");
        engine.pageShown(sim.url(forum + QStringLiteral("/page/2")).toString(), {});
        const QList<PageThread> second = readThreadLists(page(forum + QStringLiteral("/page/2")).toUtf8()).threads;
        QVERIFY(second.size() > 2);
        for (const int root : {second.at(0).root, second.at(2).root}) {
            const QString path = forum + QStringLiteral("/read/%1/thread").arg(root);
            engine.watch(sim.url(path).toString() + QStringLiteral("#%1").arg(root), page(path), QStringLiteral("T"));
        }
        const QString single = forum + QStringLiteral("/read/1002");
        engine.pageShown(sim.url(forum).toString(), {});
        engine.watch(sim.url(single).toString(), page(single), QStringLiteral("Re: Hobelbank"));
        QCOMPARE(engine.threads().size(), 3);
        QCOMPARE(engine.threads().first().title, QStringLiteral("Hobelbank aus Buche – Erfahrungen?"));

        const int answer = postAnswer(nam, sim, QStringLiteral("forum"), 1003, "Horst Hobelsberger");
        QVERIFY(answer > 0);
        QSignalSpy news(&engine, &WatchEngine::newMessages);
        QSignalSpy done(&engine, &WatchEngine::checkDone);
        engine.checkNow();
        QVERIFY(done.wait(20000));
        QCOMPARE(done.takeFirst().at(0).toInt(), 2);
        QCOMPARE(news.size(), 1);
        const auto thread = news.takeFirst().at(0).value<WatchedThread>();
        QCOMPARE(thread.root, 1001);
        QCOMPARE(thread.firstNew(), answer);
        QCOMPARE(thread.newest(true)->author, QStringLiteral("Horst Hobelsberger"));

        engine.checkNow();
        QVERIFY(done.wait(20000));
        QCOMPARE(done.takeFirst().at(0).toInt(), 2);
        QCOMPARE(news.size(), 0);
        engine.pageShown(sim.url(forum + QStringLiteral("/read/%1").arg(answer)).toString(), {});
        QCOMPARE(engine.threads().first().newCount(), 0);

        // A thread watched while a check waits for a 304 spoils no answer.
        const QString path = forum + QStringLiteral("/read/%1/thread").arg(second.at(1).root);
        const QString body = page(path);
        QSignalSpy status(&engine, &WatchEngine::statusChanged);
        engine.checkNow();
        engine.watch(sim.url(path).toString(), body, QStringLiteral("T"));
        QVERIFY(done.wait(20000));
        QCOMPARE(status.last().at(0).value<CheckStatus>().problem, QString());
    }
};

QTEST_GUILESS_MAIN(TestWatchCore)
#include "tst_watchcore.moc"
