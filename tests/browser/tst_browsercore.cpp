// The browser's rules that need no window: where a link for a new window
// goes, and the zoom steps.
#include "browser/LinkRoute.h"
#include "browser/PageZoom.h"

#include <QtTest>

#include <limits>

using tarnvik::LinkDestination;

class TestBrowserCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linkDestination_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("forumHost");
        QTest::addColumn<LinkDestination>("expected");
        const auto main = LinkDestination::MainWindow;
        const auto desktop = LinkDestination::DesktopBrowser;
        const auto nowhere = LinkDestination::Nowhere;
        const QString forum = QStringLiteral("forum.example.org");
        QTest::newRow("forum page") << "http://forum.example.org/cgi-bin/forum/webbbs_config.pl/read/9" << forum << main;
        QTest::newRow("forum over https") << "https://forum.example.org/" << forum << main;
        QTest::newRow("host in capitals") << "HTTP://Forum.Example.ORG/x" << forum << main;
        QTest::newRow("port 80 written out") << "http://forum.example.org:80/x" << forum << main;
        QTest::newRow("forum host with port") << "http://127.0.0.1:18480/x" << "127.0.0.1:18480" << main;
        QTest::newRow("same host, other port") << "http://127.0.0.1:18481/Bilder/B9.jpg" << "127.0.0.1:18480" << desktop;
        QTest::newRow("other site") << "http://www.example.com/hobel.html" << forum << desktop;
        QTest::newRow("forum name as user") << "http://forum.example.org@evil.example/" << forum << desktop;
        QTest::newRow("forum as a subdomain") << "http://forum.example.org.evil.example/" << forum << desktop;
        QTest::newRow("file") << "file:///etc/passwd" << forum << nowhere;
        QTest::newRow("script") << "javascript:alert(1)" << forum << nowhere;
        QTest::newRow("mail") << "mailto:holz@example.org" << forum << nowhere;
        QTest::newRow("ftp") << "ftp://forum.example.org/x" << forum << nowhere;
        QTest::newRow("http without host") << "http:///x" << forum << nowhere;
        QTest::newRow("empty") << "" << forum << nowhere;
    }

    void linkDestination()
    {
        QFETCH(QString, address);
        QFETCH(QString, forumHost);
        QFETCH(LinkDestination, expected);
        QCOMPARE(tarnvik::linkDestination(QUrl(address), forumHost), expected);
    }

    void zoomSteps_data()
    {
        QTest::addColumn<double>("factor");
        QTest::addColumn<int>("steps");
        QTest::addColumn<double>("expected");
        QTest::newRow("in") << 1.0 << 1 << 1.1;
        QTest::newRow("out") << 1.0 << -1 << 0.9;
        QTest::newRow("three in") << 1.0 << 3 << 1.5;
        QTest::newRow("between steps, in") << 1.2 << 1 << 1.25;
        QTest::newRow("between steps, out") << 1.2 << -1 << 1.1;
        QTest::newRow("largest") << 5.0 << 1 << 5.0;
        QTest::newRow("smallest") << 0.25 << -1 << 0.25;
        QTest::newRow("above the range") << 9.0 << 0 << 5.0;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 0 << 1.0;
    }

    void zoomSteps()
    {
        QFETCH(double, factor);
        QFETCH(int, steps);
        QFETCH(double, expected);
        QCOMPARE(tarnvik::zoom::stepped(factor, steps), expected);
    }
};

QTEST_GUILESS_MAIN(TestBrowserCore)
#include "tst_browsercore.moc"
