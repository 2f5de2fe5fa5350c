// The forum simulator as the client sees it when reading: the real binary on
// free loopback ports, asked over HTTP.

#include "SimHttp.h"
#include "common/ForumSim.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

const QByteArray kTitleMarker = "<P align=center><BIG><BIG><STRONG>";
const QByteArray kHeadingMarker = "<P align=center><STRONG><BIG>";
const QByteArray kTextEnd = "</FONT></P></BLOCKQUOTE>";
const QByteArray kBackToIndex = "Zurück zum Index";
const QByteArray kInThisThread = "in diesem Thread";

Page fetchUrl(QNetworkAccessManager &nam, const QUrl &url, const QByteArray &method = "GET")
{
    return exchange(nam, url, method, method == "POST" ? QByteArray("name=x") : QByteArray());
}

} // namespace

class TestForumSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void indexPage_data();
    void indexPage();
    void pageNumberThatIsNoPositiveNumberGivesFirstPage_data();
    void pageNumberThatIsNoPositiveNumberGivesFirstPage();
    void everyThreadIsListedOnceAndCarriesItsMarkers();
    void singleMessagePage();
    void wholeThreadPage_data();
    void wholeThreadPage();
    void notFound_data();
    void notFound();
    void onlyGetAndHeadAreServed();
    void startAndFramePages();
    void largeThreadAndPictureHost();
    void commandLine_data();
    void commandLine();
    void portInUseIsAnError();
    void slowClientsDoNotLockOutOthers();
    void conditionalRequests_data();
    void conditionalRequests();

private:
    Page fetch(const QString &path, const QByteArray &method = "GET")
    {
        return fetchUrl(m_nam, m_sim.url(path), method);
    }

    ForumSim m_sim;
    QNetworkAccessManager m_nam;
};

void TestForumSim::initTestCase()
{
    m_nam.setProxy(QNetworkProxy::NoProxy);
    QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
    QCOMPARE(m_sim.host(), QStringLiteral("127.0.0.1:%1").arg(m_sim.port()));
}


void TestForumSim::indexPage_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QList<QByteArray>>("inOrder");

    const QString forum = QStringLiteral("/cgi-bin/forum/webbbs_config.pl");
    QTest::newRow("forum, newest thread first") << forum << QByteArray("Handwerkzeug-Forum")
        << QList<QByteArray>{"<H1 align=center>Handwerkzeug-Forum</H1>",
                             "<LI><A HREF=\"/cgi-bin/forum/webbbs_config.pl/read/1001\">"
                             "Hobelbank aus Buche – Erfahrungen?</A> – Jürgen Weißhaupt, 18.11.2023, 19:42\n<UL>",
                             "/read/1002\">Re: Hobelbank aus Buche", "/read/1003\">", "/read/1004\">",
                             "<A HREF=\"/cgi-bin/forum/webbbs_config.pl/read/1001/thread#1001\">ganzer Thread</A>",
                             "/read/1005\">Schärfen von Hobeleisen: Wassersteine oder Diamant?</A>",
                             "<A HREF=\"/cgi-bin/forum/webbbs_config.pl/page/1\">Seite 1</A>",
                             "<A HREF=\"/cgi-bin/forum/webbbs_config.pl/page/2\">Seite 2</A>",
                             "<A HREF=\"/cgi-bin/forum/webbbs_config.pl/page/3\">Seite 3</A>"};
    QTest::newRow("machines") << QStringLiteral("/cgi-bin/holzbearbeitungsmaschinen/webbbs_config.pl")
        << QByteArray("Allgemeines Holzwerker-Forum")
        << QList<QByteArray>{"/holzbearbeitungsmaschinen/webbbs_config.pl/read/2001\">"
                             "Tischkreissäge: Spaltkeil nachrüsten, aber wie?</A>",
                             "/read/2001/thread#2001\">ganzer Thread</A>"};
    QTest::newRow("market") << QStringLiteral("/cgi-bin/marktplatz/webbbs_config.pl")
        << QByteArray("Marktplatz")
        << QList<QByteArray>{"/marktplatz/webbbs_config.pl/read/3001\">Verkaufe Hobelbank (gebraucht)</A>",
                             "/read/3002\">Re: Verkaufe Hobelbank (gebraucht)</A>"};
    QTest::newRow("page 2") << forum + "/page/2" << QByteArray("Handwerkzeug-Forum")
        << QList<QByteArray>{"Seite 2 von ", "ganzer Thread"};
    // A page number past the end shows the last page.
    QTest::newRow("past the end") << forum + "/page/40" << QByteArray("Handwerkzeug-Forum")
        << QList<QByteArray>{"Seite 3 von 3", "ganzer Thread", "<STRONG><A HREF=\"/cgi-bin/forum/webbbs_config.pl/page/3\">"};
    QTest::newRow("number too large") << forum + "/page/99999999999999" << QByteArray("Handwerkzeug-Forum")
        << QList<QByteArray>{"Seite 3 von 3", "ganzer Thread"};
}

void TestForumSim::indexPage()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, title);
    QFETCH(QList<QByteArray>, inOrder);

    const Page page = fetch(path);
    QCOMPARE(page.status, 200);
    QCOMPARE(page.contentType, QByteArray("text/html; charset=utf-8"));
    QVERIFY(page.body.startsWith("<HTML><HEAD><TITLE>"));
    QCOMPARE(titleOf(page.body), title);
    QCOMPARE(missingInOrder(page.body, inOrder), QByteArray());
}

void TestForumSim::pageNumberThatIsNoPositiveNumberGivesFirstPage_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("zero") << QStringLiteral("0");
    QTest::newRow("negative") << QStringLiteral("-2");
    QTest::newRow("word") << QStringLiteral("zwei");
    QTest::newRow("empty") << QString();
    QTest::newRow("number with tail") << QStringLiteral("2x");
}

void TestForumSim::pageNumberThatIsNoPositiveNumberGivesFirstPage()
{
    QFETCH(QString, page);
    const QString section = QStringLiteral("/cgi-bin/holzbearbeitungsmaschinen/webbbs_config.pl");
    const Page first = fetch(section);
    const Page odd = fetch(section + "/page/" + page);
    QCOMPARE(odd.status, 200);
    QVERIFY(first.body.contains("Seite 1 von "));
    QCOMPARE(odd.body, first.body);
}

// Walks every index page of every section and every whole-thread page listed
// there: paging must show each thread exactly once, twenty to a page, and
// every thread page must keep the markers the export relies on (which a
// seeded text containing one of the marker words would break).
void TestForumSim::everyThreadIsListedOnceAndCarriesItsMarkers()
{
    static const QRegularExpression pageCount(QStringLiteral("Seite 1 von (\\d+)</P>"));
    static const QRegularExpression messageCount(QStringLiteral("<P align=center>(\\d+) Beitr(?:ag|äge)</P>"));

    QSet<int> seen;
    for (const QString &word : {QStringLiteral("forum"), QStringLiteral("holzbearbeitungsmaschinen"),
                               QStringLiteral("marktplatz")}) {
        const QString section = QStringLiteral("/cgi-bin/%1/webbbs_config.pl").arg(word);
        const auto m = pageCount.match(QString::fromUtf8(fetch(section).body));
        QVERIFY2(m.hasMatch(), qPrintable(word));
        const int pages = m.captured(1).toInt();
        if (word != QLatin1String("marktplatz"))
            QVERIFY2(pages >= 3, qPrintable(word));

        for (int p = 1; p <= pages + 1; ++p) {
            const Page index = fetch(section + "/page/" + QString::number(p));
            const QList<int> threads = threadLinks(index.body);
            if (p == pages + 1) {   // past the end: the last page again
                QCOMPARE(threads, threadLinks(fetch(section + "/page/" + QString::number(pages)).body));
                continue;
            }
            QVERIFY2(p == pages ? (threads.size() >= 1 && threads.size() <= 20) : threads.size() == 20,
                     qPrintable(QStringLiteral("%1 page %2: %3 threads").arg(word).arg(p).arg(threads.size())));

            for (const int root : threads) {
                QVERIFY2(!seen.contains(root), qPrintable(QStringLiteral("thread %1 listed twice").arg(root)));
                seen.insert(root);
                const Page thread = fetch(section + QStringLiteral("/read/%1/thread").arg(root));
                const QString where = QStringLiteral("thread %1").arg(root);
                QCOMPARE(thread.status, 200);
                const auto count = messageCount.match(QString::fromUtf8(thread.body));
                QVERIFY2(count.hasMatch(), qPrintable(where));
                const int messages = count.captured(1).toInt();
                QVERIFY2(thread.body.count(kHeadingMarker) == messages, qPrintable(where));
                QVERIFY2(thread.body.count(kTextEnd) == messages, qPrintable(where));
                QVERIFY2(thread.body.count(kBackToIndex) == 1, qPrintable(where));
                QVERIFY2(thread.body.lastIndexOf(kTextEnd) < thread.body.indexOf(kBackToIndex), qPrintable(where));
                QVERIFY2(!thread.body.contains(kInThisThread), qPrintable(where));
            }
        }
    }
    QVERIFY(seen.contains(1001) && seen.contains(2001) && seen.contains(3001));
}

void TestForumSim::singleMessagePage()
{
    const Page page = fetch(QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/1002"));
    QCOMPARE(page.status, 200);
    QCOMPARE(page.contentType, QByteArray("text/html; charset=utf-8"));
    // Plain, although the client offers compression: compressing big thread
    // pages costs the server far more than loopback saves.
    QCOMPARE(page.contentEncoding, QByteArray());
    // Umlauts travel as UTF-8 bytes, not as Latin-1 or entities.
    QCOMPARE(titleOf(page.body), QByteArray("Re: Hobelbank aus Buche \xe2\x80\x93 Erfahrungen?"));
    QVERIFY(page.body.contains("Geschrieben von S\xc3\xb6ren Ma\xc3\x9fmann am "));

    const QByteArray pictureHost = "http://" + m_sim.pictureHost().toUtf8();
    QCOMPARE(missingInOrder(page.body, {
        "\n<BODY",
        "\n<P align=center><BIG><BIG><STRONG>Re: Hobelbank aus Buche – Erfahrungen?</STRONG></BIG></BIG></P>\n",
        "<P align=center><EM>Geschrieben von Sören Maßmann am 18. November 2023 um 20:55:10</EM></P>\n",
        "<P><FONT face=Arial>Hallo Jürgen,<BR>\n",
        // each picture stands alone on its line
        "\n<IMG SRC=\"" + pictureHost + "/Bilder/B101.jpg\"><BR>\n",
        "\n<IMG SRC=\"" + pictureHost + "/Bilder/B102.jpg?size=2\"><BR>\n",
        "Gruß, Sören</FONT></P>\n",
        "<HR>\n<P><STRONG>Beiträge in diesem Thread:</STRONG></P>\n",
        "/read/1001\">", "/read/1002\">", "/read/1003\">", "/read/1004\">",
        "<A HREF=\"/cgi-bin/forum/webbbs_config.pl\">Zurück zum Index</A>",
        "</BODY></HTML>"}), QByteArray());
    QCOMPARE(page.body.count(kInThisThread), 1);
    QCOMPARE(page.body.count(kBackToIndex), 1);
}

void TestForumSim::wholeThreadPage_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<QByteArray>("alsoContains");

    QTest::newRow("forum, answers nested") << QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/1001/thread")
        << QByteArray("Hobelbank aus Buche – Erfahrungen?") << QList<int>{1001, 1002, 1003, 1004}
        << "\n<IMG SRC=\"http://" + m_sim.pictureHost().toUtf8() + "/Bilder/B104.jpg\"><BR>\n";
    QTest::newRow("text is escaped") << QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/1005/thread")
        << QByteArray("Schärfen von Hobeleisen: Wassersteine oder Diamant?") << QList<int>{1005, 1006, 1007}
        << QByteArray("Schneidwinkel &lt; 25° bei A2-Stahl &amp; Co.");
    QTest::newRow("machines") << QStringLiteral("/cgi-bin/holzbearbeitungsmaschinen/webbbs_config.pl/read/2001/thread")
        << QByteArray("Tischkreissäge: Spaltkeil nachrüsten, aber wie?") << QList<int>{2001, 2002, 2003}
        << QByteArray("<P align=center>3 Beiträge</P>");
    QTest::newRow("market") << QStringLiteral("/cgi-bin/marktplatz/webbbs_config.pl/read/3001/thread")
        << QByteArray("Verkaufe Hobelbank (gebraucht)") << QList<int>{3001, 3002}
        << QByteArray("<P align=center>2 Beiträge</P>");
}

void TestForumSim::wholeThreadPage()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, title);
    QFETCH(QList<int>, order);
    QFETCH(QByteArray, alsoContains);

    const Page page = fetch(path);
    QCOMPARE(page.status, 200);
    QCOMPARE(titleOf(page.body), title + " – ganzer Thread");
    QVERIFY(page.body.contains(alsoContains));

    // The client takes the thread title from the first line after <BODY that
    // carries the title marker, up to "</STRONG>".
    const QList<QByteArray> lines = page.body.split('\n');
    qsizetype body = -1;
    for (qsizetype i = 0; i < lines.size() && body < 0; ++i)
        body = lines[i].startsWith("<BODY") ? i : -1;
    QVERIFY(body >= 0 && body + 1 < lines.size());
    QCOMPARE(lines[body + 1], kTitleMarker + title + "</STRONG></BIG></BIG></P>");
    QCOMPARE(lines[body + 2], QByteArray("<P align=center>%1 Beiträge</P>").replace("%1", QByteArray::number(order.size())));

    // Each message: heading, author line, text ending in the text-end marker
    // on its own line, then the link to its single page; depth-first order.
    const QByteArray section = path.section(QLatin1Char('/'), 2, 2).toUtf8();
    QList<QByteArray> expected;
    for (const int n : order) {
        expected << "<HR>\n" + kHeadingMarker << "</BIG></STRONG></P>\n<P align=center><EM>Geschrieben von "
                 << "</EM></P>\n<BLOCKQUOTE><P><FONT face=Arial>" << kTextEnd + "\n"
                 << "<P><A HREF=\"/cgi-bin/" + section + "/webbbs_config.pl/read/" + QByteArray::number(n)
                        + "\">Einzelansicht</A></P>\n";
    }
    expected << "<A HREF=\"/cgi-bin/" + section + "/webbbs_config.pl\">Zurück zum Index</A></P>\n</BODY></HTML>";
    QCOMPARE(missingInOrder(page.body, expected), QByteArray());
    QCOMPARE(page.body.count(kHeadingMarker), order.size());
    QCOMPARE(page.body.count(kBackToIndex), 1);
    QVERIFY(!page.body.contains(kInThisThread));
}

void TestForumSim::notFound_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("title");

    const QByteArray message = "Beitrag nicht gefunden";
    const QByteArray page = "Seite nicht gefunden";
    const QString forum = QStringLiteral("/cgi-bin/forum/webbbs_config.pl");
    QTest::newRow("unknown number") << forum + "/read/999999" << 404 << message;
    QTest::newRow("no number") << forum + "/read/abc" << 404 << message;
    QTest::newRow("number too large") << forum + "/read/99999999999999999999" << 404 << message;
    QTest::newRow("encoded NUL") << forum + "/read/10%0001" << 404 << message;
    QTest::newRow("other section's message") << forum + "/read/2001" << 404 << message;
    QTest::newRow("other section's thread") << forum + "/read/3001/thread" << 404 << message;
    QTest::newRow("thread of an answer") << forum + "/read/1002/thread" << 404 << message;
    QTest::newRow("unknown section") << QStringLiteral("/cgi-bin/werkbank/webbbs_config.pl") << 404 << page;
    QTest::newRow("unknown below section") << forum + "/edit/1001" << 404 << page;
    QTest::newRow("unknown path") << QStringLiteral("/nix/da?x=1") << 404 << page;
    QTest::newRow("many segments") << "/" + QString("a/").repeated(3000) << 404 << page;
    QTest::newRow("address too long") << "/" + QString("b").repeated(9000) << 414 << QByteArray("Adresse zu lang");
}

void TestForumSim::notFound()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(QByteArray, title);

    const Page reply = fetch(path);
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.contentType, QByteArray("text/html; charset=utf-8"));
    QCOMPARE(titleOf(reply.body), title);
    // An error page must give the client's export nothing to end on.
    QVERIFY(!reply.body.contains(kBackToIndex));
    QVERIFY(!reply.body.contains(kInThisThread));
    QCOMPARE(fetch(QStringLiteral("/")).status, 200);   // still serving
}

void TestForumSim::onlyGetAndHeadAreServed()
{
    const QString path = QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/1001");
    for (const QByteArray &method : {QByteArray("POST"), QByteArray("PUT"), QByteArray("DELETE")}) {
        const Page reply = fetch(path, method);
        QVERIFY2(reply.status == 405, method.constData());
    }
    const Page head = fetch(path, "HEAD");
    QCOMPARE(head.status, 200);
    QVERIFY(head.body.isEmpty());
    QCOMPARE(head.contentLength, fetch(path).body.size());
}

void TestForumSim::startAndFramePages()
{
    const Page start = fetch(QStringLiteral("/"));
    QCOMPARE(titleOf(start.body), QByteArray("Holzwerker-Treffpunkt"));
    QCOMPARE(missingInOrder(start.body, {
        "<A HREF=\"/cgi-bin/forum/webbbs_config.pl\">Handwerkzeug-Forum</A>",
        "<A HREF=\"/cgi-bin/holzbearbeitungsmaschinen/webbbs_config.pl\">Allgemeines Holzwerker-Forum</A>",
        "<A HREF=\"/cgi-bin/marktplatz/webbbs_config.pl\">Marktplatz</A>"}), QByteArray());

    const Page frames = fetch(QStringLiteral("/frames/demo"));
    QCOMPARE(frames.status, 200);
    QCOMPARE(titleOf(frames.body), QByteArray("Rahmenansicht"));
    QCOMPARE(frames.body.count("<FRAME "), 2);
    QCOMPARE(missingInOrder(frames.body, {"<FRAMESET", "src=\"/cgi-bin/forum/webbbs_config.pl\"",
                                          "src=\"/cgi-bin/forum/webbbs_config.pl/read/1001\""}), QByteArray());
}

void TestForumSim::largeThreadAndPictureHost()
{
    ForumSim sim;
    QVERIFY2(sim.start({QStringLiteral("--large-thread"), QStringLiteral("300"),
                        QStringLiteral("--picture-host=127.0.0.1:23456")}),
             qPrintable(sim.errorString()));
    QCOMPARE(sim.largeThreadPath(), QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/90001/thread#90001"));

    const Page thread = fetchUrl(m_nam, sim.url(sim.largeThreadPath()));
    QCOMPARE(thread.status, 200);
    QVERIFY(thread.body.contains("<P align=center>300 Beiträge</P>"));
    QCOMPARE(thread.body.count(kHeadingMarker), 300);
    QCOMPARE(thread.body.count(kTextEnd), 300);
    QCOMPARE(thread.body.count(kBackToIndex), 1);
    QVERIFY(thread.body.contains("\n<IMG SRC=\"http://127.0.0.1:23456/Bilder/B5000.jpg\"><BR>\n"));
    QVERIFY(thread.body.contains("/read/90300\">Einzelansicht"));

    // The large thread is the oldest, so it sits on the last index page.
    const Page first = fetchUrl(m_nam, sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl")));
    static const QRegularExpression pageCount(QStringLiteral("Seite 1 von (\\d+)</P>"));
    const QString pages = pageCount.match(QString::fromUtf8(first.body)).captured(1);
    const Page last = fetchUrl(m_nam, sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl/page/") + pages));
    QCOMPARE(threadLinks(last.body).constLast(), 90001);

    // The seeded pictures follow --picture-host too.
    const Page seeded = fetchUrl(m_nam, sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/1002")));
    QVERIFY(seeded.body.contains("<IMG SRC=\"http://127.0.0.1:23456/Bilder/B101.jpg\">"));

    QCOMPARE(sim.stop(), 0);   // SIGTERM ends it cleanly
}

void TestForumSim::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("help") << QStringList{"--help"} << 0;
    QTest::newRow("unknown option") << QStringList{"--verbose"} << 2;
    QTest::newRow("missing value") << QStringList{"--port"} << 2;
    QTest::newRow("port out of range") << QStringList{"--port", "70000"} << 2;
    QTest::newRow("port not a number") << QStringList{"--port", "80a"} << 2;
    QTest::newRow("bind to LAN address") << QStringList{"--port", "0", "--bind", "192.168.1.20"} << 2;
    QTest::newRow("bind to every address") << QStringList{"--port", "0", "--bind", "0.0.0.0"} << 2;
    QTest::newRow("bind to a name") << QStringList{"--port", "0", "--bind", "example.org"} << 2;
    QTest::newRow("large thread zero") << QStringList{"--port", "0", "--large-thread", "0"} << 2;
    QTest::newRow("large thread too large") << QStringList{"--port", "0", "--large-thread", "20001"} << 2;
    QTest::newRow("picture host with path") << QStringList{"--port", "0", "--picture-host", "a/b"} << 2;
    QTest::newRow("picture host bad port") << QStringList{"--port", "0", "--picture-host", "pics:0"} << 2;
    QTest::newRow("picture port out of range") << QStringList{"--port", "0", "--picture-port", "65536"} << 2;
    QTest::newRow("user without password") << QStringList{"--port", "0", "--user", "Drechsler"} << 2;
    QTest::newRow("site word with blank") << QStringList{"--port", "0", "--site", "holz werker"} << 2;
    QTest::newRow("slow picture without wait") << QStringList{"--port", "0", "--slow-picture", "101"} << 2;
    QTest::newRow("missing picture not a number") << QStringList{"--port", "0", "--missing-picture", "B101"} << 2;
    QTest::newRow("picture delay too long") << QStringList{"--port", "0", "--picture-delay", "600000"} << 2;
    QTest::newRow("publish error not a server error") << QStringList{"--port", "0", "--publish-error", "404"} << 2;
    QTest::newRow("redirect to a script") << QStringList{"--port", "0", "--publish-redirect", "javascript:alert(1)"} << 2;
}

void TestForumSim::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);

    QProcess process;
    process.start(QStringLiteral(TARNVIK_FORUMSIM_PATH), args);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    if (exitCode == 0) {
        QVERIFY(out.contains("--large-thread"));
    } else {
        QVERIFY(out.isEmpty());   // no "listening" line
        QVERIFY(!err.isEmpty());
    }
}

void TestForumSim::portInUseIsAnError()
{
    QProcess process;
    process.start(QStringLiteral(TARNVIK_FORUMSIM_PATH),
                  {"--port", QString::number(m_sim.port()), "--picture-port", "0"});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(process.readAllStandardError().contains("cannot listen"));
}

// Connections that send their request head a line at a time hold a worker
// each; fifty of them on each port must not keep other requests waiting.
void TestForumSim::slowClientsDoNotLockOutOthers()
{
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (const quint16 port : {m_sim.port(), m_sim.picturePort()}) {
        for (int i = 0; i < 50; ++i) {
            slow.push_back(std::make_unique<QTcpSocket>());
            slow.back()->connectToHost(QHostAddress::LocalHost, port);
        }
    }
    for (const auto &socket : slow) {
        QVERIFY(socket->waitForConnected(5000));
        socket->write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    }
    QTimer trickle;
    connect(&trickle, &QTimer::timeout, this, [&] {
        for (const auto &socket : slow)
            socket->write("X-Slow: 1\r\n");
    });
    trickle.start(500);

    for (int round = 0; round < 3; ++round) {
        QTest::qWait(500);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(fetch(QStringLiteral("/cgi-bin/forum/webbbs_config.pl")).status, 200);
        QCOMPARE(exchange(m_nam, m_sim.pictureUrl(QStringLiteral("/Bilder/B103.jpg"))).status, 200);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }
    for (const auto &socket : slow)
        QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);   // still hanging on, not dropped
}

void TestForumSim::conditionalRequests_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("ifNoneMatch");    // "TAG" stands for the page's tag
    QTest::addColumn<int>("ifModifiedSince");       // days after Last-Modified; 99: none
    QTest::addColumn<int>("status");
    const QString index = QStringLiteral("/cgi-bin/forum/webbbs_config.pl/page/2");
    const QString thread = QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/1001/thread");
    const QString message = QStringLiteral("/cgi-bin/holzbearbeitungsmaschinen/webbbs_config.pl/read/2002");
    QTest::newRow("index, its tag") << index << QByteArray("TAG") << 99 << 304;
    QTest::newRow("index, tag in a list") << index << QByteArray("\"0\", W/TAG") << 99 << 304;
    QTest::newRow("index, another tag") << index << QByteArray("\"0\"") << 99 << 200;
    QTest::newRow("thread, another tag wins over the date") << thread << QByteArray("\"0\"") << 0 << 200;
    QTest::newRow("thread, not modified since") << thread << QByteArray() << 0 << 304;
    QTest::newRow("thread, modified since") << thread << QByteArray() << -1 << 200;
    QTest::newRow("message, its tag") << message << QByteArray("TAG") << 99 << 304;
}

void TestForumSim::conditionalRequests()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, ifNoneMatch);
    QFETCH(int, ifModifiedSince);
    QFETCH(int, status);
    const auto get = [this, &path](const QList<std::pair<QByteArray, QByteArray>> &headers) {
        QNetworkRequest request(m_sim.url(path));
        for (const auto &[name, value] : headers)
            request.setRawHeader(name, value);
        QNetworkReply *reply = m_nam.get(request);
        QSignalSpy done(reply, &QNetworkReply::finished);
        done.wait(10000);
        reply->deleteLater();
        return std::make_pair(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply);
    };
    const auto [plainStatus, plain] = get({});
    QCOMPARE(plainStatus, 200);
    const QByteArray tag = plain->rawHeader("ETag");
    const QByteArray lastModified = plain->rawHeader("Last-Modified");
    QVERIFY(tag.startsWith('"') && tag.size() > 2);
    QLocale c = QLocale::c();
    const QString format = QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'");
    const QDateTime time = c.toDateTime(QString::fromLatin1(lastModified), format);
    QVERIFY2(time.isValid(), lastModified.constData());

    QList<std::pair<QByteArray, QByteArray>> headers;
    if (!ifNoneMatch.isEmpty())
        headers.append({"If-None-Match", QByteArray(ifNoneMatch).replace("TAG", tag)});
    if (ifModifiedSince != 99)
        headers.append({"If-Modified-Since", c.toString(time.addDays(ifModifiedSince), format).toLatin1()});
    const auto [conditionalStatus, conditional] = get(headers);
    QCOMPARE(conditionalStatus, status);
    QCOMPARE(conditional->readAll().isEmpty(), status == 304);
    QCOMPARE(conditional->rawHeader("ETag"), tag);
}

QTEST_GUILESS_MAIN(TestForumSim)
#include "tst_forumsim.moc"
