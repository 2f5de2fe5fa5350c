// Watching a thread in the real main window with Qt WebEngine against the
// forum simulator, checking every five seconds. With TARNVIK_FAKE_NOTIFICATIONS
// set (on a private session bus, under dbus-run-session) a small notification
// service of the test's own takes the notifications; without it there is no
// bus, and the window and the toolbar are the only signs.
#include "SimPost.h"
#include "browser/WebEngineHost.h"
#include "common/TestProgram.h"
#include "common/Widgets.h"
#include "main/Main.h"
#include "state/DModul.h"
#include "state/Endpoints.h"
#include "ui_Main.h"
#include "ui_Watched.h"
#include "watch/WatchUi.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QNetworkProxy>
#include <QPushButton>
#include <QtTest>


namespace {
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kName = QStringLiteral("org.freedesktop.Notifications");
} // namespace

class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        uint id;
        uint replaces;
        QString icon, summary, body;
        QStringList actions;
    };
    QList<Shown> shown;

public Q_SLOTS:
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
    uint Notify(const QString &, uint replaces, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &, int)
    {
        const uint id = replaces ? replaces : uint(shown.size() + 1);
        shown.append({id, replaces, icon, summary, body, actions});
        return id;
    }
    void CloseNotification(uint) {}
};

class TestWatchE2E : public QObject
{
    Q_OBJECT

    ForumSim m_sim;
    QNetworkAccessManager m_nam;
    FakeNotifications m_fake;
    std::optional<QDBusConnection> m_fakeBus;
    TestProgram m_program;
    tarnvik::watch::WatchUi *m_watch = nullptr;

    TfrmMain *window() const { return m_program.main(); }

    QString address(const QString &tail) const
    {
        return m_sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl") + tail).toString();
    }
    QString newsCaption() const { return m_watch->newsAction()->text(); }

    bool waitProcessed(const QString &address, const std::function<void()> &go)
    {
        QSignalSpy spy(window(), &TfrmMain::pageProcessed);
        go();
        return QTest::qWaitFor([&] {
            return std::any_of(spy.cbegin(), spy.cend(), [&](const QList<QVariant> &a) { return a.at(0) == address; });
        }, 20000);
    }

    // The list window, opened with F8.
    TfrmWatched *openList()
    {
        QTest::keyClick(window(), Qt::Key_F8);
        TfrmWatched *list = m_watch->threadsWindow();
        return list && QTest::qWaitForWindowExposed(list) ? list : nullptr;
    }

    static QString newColumn(TfrmWatched *list)
    {
        const QTreeWidgetItem *row = list->controls()->lvThreads->topLevelItem(0);
        return row ? row->text(2) : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_nam.setProxy(QNetworkProxy::NoProxy);
        QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
        tarnvik::setEndpoints({m_sim.host(), m_sim.host(), QStringLiteral("holzwerkerforum")});
        if (qEnvironmentVariableIsSet("TARNVIK_FAKE_NOTIFICATIONS")) {
            m_fakeBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake"));
            QVERIFY(m_fakeBus->isConnected());
            QVERIFY(m_fakeBus->registerObject(kPath, &m_fake, QDBusConnection::ExportAllSlots));
            QVERIFY(m_fakeBus->registerService(kName));
        }
        QGuiApplication::setDesktopFileName(QStringLiteral("de.tarnvik.Tarnvik"));
        QVERIFY(m_program.start(ProgramStart(0, ProgramStart::RealBrowser)));
        // As the program wires it, checking every five seconds.
        m_watch = new tarnvik::watch::WatchUi(window(), window()->WebBrowser(),
                                              [] { return DM ? DM->PageTitle : QString(); },
                                              {m_program.filePath(QStringLiteral("Tarnvik.sqlite")), 5});
        window()->attachWatch(m_watch);
        QVERIFY(waitProcessed(address({}), [this] { QVERIFY(testwidgets::showActive(window())); }));
    }

    void cleanupTestCase() { m_program.stop(); }

    void watchCountOpenAndStop()
    {
        QAction *watch = m_watch->watchAction();
        QVERIFY(!watch->isEnabled());
        const QString thread = address(QStringLiteral("/read/1005/thread#1005"));
        QVERIFY(waitProcessed(thread, [&] { window()->WebBrowser()->Navigate(thread); }));
        QVERIFY(watch->isEnabled() && !watch->isChecked());
        QTest::keyClick(window(), Qt::Key_F7);
        QVERIFY(watch->isChecked());
        testwidgets::keepScreenshot(window(), QStringLiteral("watch-toolbar.png"), 500);

        // An answer deep in the tree is found by the next check.
        const int first = postAnswer(m_nam, m_sim, QStringLiteral("forum"), 1006, "Hobelfreund");
        QVERIFY(first > 0);
        QTRY_COMPARE_WITH_TIMEOUT(newsCaption(), QStringLiteral("Neues (1) [F8]"), 20000);
        QCOMPARE(window()->controls()->ToolBar1->widgetForAction(m_watch->newsAction())->accessibleName(), newsCaption());
        const QString firstPage = address(QStringLiteral("/read/%1").arg(first));
        if (m_fakeBus) {
            QTRY_COMPARE(m_fake.shown.size(), 1);
            const FakeNotifications::Shown shown = m_fake.shown.first();
            QCOMPARE(shown.summary, QStringLiteral("Neue Antworten: Schärfen von Hobeleisen: Wassersteine oder Diamant?"));
            QCOMPARE(shown.body, QStringLiteral("1 neue Beiträge, zuletzt von Hobelfreund"));
            QCOMPARE(shown.icon, QStringLiteral("de.tarnvik.Tarnvik"));
            QCOMPARE(shown.actions, (QStringList{QStringLiteral("default"), QStringLiteral("Öffnen")}));
            QVERIFY(waitProcessed(firstPage, [&] {
                m_fakeBus->send(QDBusMessage::createSignal(kPath, kName, QStringLiteral("ActionInvoked"))
                                << shown.id << QStringLiteral("default"));
            }));
        } else {
            TfrmWatched *list = openList();
            QVERIFY(list);
            QCOMPARE(newColumn(list), QStringLiteral("1 neue"));
            QVERIFY(waitProcessed(firstPage, [&] { QTest::keyClick(list->controls()->lvThreads, Qt::Key_Return); }));
            QVERIFY(!list->isVisible());
        }
        QTRY_COMPARE(newsCaption(), QStringLiteral("Neues [F8]"));
        QVERIFY(watch->isChecked());

        // Two more, found by "Jetzt prüfen": the notification is replaced, and
        // the list opens the first of them.
        TfrmWatched *list = openList();
        QVERIFY(list);
        const int second = postAnswer(m_nam, m_sim, QStringLiteral("forum"), 1005, "Dörte Fuß");
        QTRY_VERIFY(list->controls()->btnCheck->isEnabled());
        list->controls()->btnCheck->click();
        QTRY_COMPARE_WITH_TIMEOUT(newColumn(list), QStringLiteral("1 neue"), 20000);
        QVERIFY(postAnswer(m_nam, m_sim, QStringLiteral("forum"), second, "Uwe Tischler") > 0);
        QTRY_VERIFY(list->controls()->btnCheck->isEnabled());
        list->controls()->btnCheck->click();
        QTRY_COMPARE_WITH_TIMEOUT(newColumn(list), QStringLiteral("2 neue"), 20000);
        QCOMPARE(newsCaption(), QStringLiteral("Neues (2) [F8]"));
        if (m_fakeBus) {
            QTRY_COMPARE(m_fake.shown.last().body, QStringLiteral("2 neue Beiträge, zuletzt von Uwe Tischler"));
            QCOMPARE(m_fake.shown.last().replaces, m_fake.shown.at(m_fake.shown.size() - 2).id);
        }
        testwidgets::keepScreenshot(list, QStringLiteral("watch-list.png"));
        const QString secondPage = address(QStringLiteral("/read/%1").arg(second));
        QVERIFY(waitProcessed(secondPage, [&] { QTest::keyClick(list->controls()->lvThreads, Qt::Key_Return); }));
        QTRY_COMPARE(newsCaption(), QStringLiteral("Neues (1) [F8]"));

        // Del stops watching.
        QCOMPARE(openList(), list);
        QTest::keyClick(list->controls()->lvThreads, Qt::Key_Delete);
        QTRY_COMPARE(list->controls()->lvThreads->topLevelItemCount(), 0);
        QCOMPARE(newsCaption(), QStringLiteral("Neues [F8]"));
        QVERIFY(!watch->isChecked());
        list->close();
    }
};

int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    TestWatchE2E test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_watch_e2e.moc"
