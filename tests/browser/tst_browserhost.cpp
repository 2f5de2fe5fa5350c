// The Qt WebEngine browser host: when its navigation event comes, the page
// dialogs, pages that hang or whose process dies, links meant for a new
// window and the zoom.
#include "browser/LinkRoute.h"
#include "browser/PageZoom.h"
#include "browser/WebEngineHost.h"
#include "browser/WebPage.h"
#include "common/ForumSim.h"
#include "common/ModalHelper.h"
#include "common/Widgets.h"
#include "state/Endpoints.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include <signal.h>

using namespace testwidgets;

namespace {
QString fixture(const QString &name)
{
    return QStringLiteral(TARNVIK_SOURCE_DIR "/tests/browser/data/") + name;
}

// Stands in for the desktop's browser: keeps what it was asked to open.
class DesktopBrowser : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened << url; }
};
} // namespace

class TestBrowserHost : public QObject
{
    Q_OBJECT

    ForumSim m_sim;
    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_window;
    WebEngineHost *m_host = nullptr;

    // The centre of the element `id` of the page shown, in the page's widget.
    QPoint centreOf(const QString &id)
    {
        QVariantList box;
        m_host->page()->runJavaScript(
            QStringLiteral("(function(){var r=document.getElementById('%1').getBoundingClientRect();"
                           "return [r.left+r.width/2, r.top+r.height/2];})()")
                .arg(id),
            [&](const QVariant &v) { box = v.toList(); });
        if (!QTest::qWaitFor([&] { return box.size() == 2; }, 10000))
            return {};
        const double zoom = m_host->page()->zoomFactor();
        return QPoint(int(box[0].toDouble() * zoom), int(box[1].toDouble() * zoom));
    }

    bool load(const QString &address)
    {
        QSignalSpy completed(m_host, &BrowserHost::DocumentComplete);
        m_host->Navigate(address);
        return completed.wait(15000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
    }

    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(800, 600);
        m_host = new WebEngineHost(m_window.get());
        m_host->widget()->resize(800, 600);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        WebEngineHost::setHangThreshold(5000);
        tarnvik::setForumPageOpener({});
        tarnvik::zoom::setSessionFactor(tarnvik::zoom::kDefault);
        m_window.reset();
        m_host = nullptr;
    }

    // The handler of the navigation event counts and fills the forms of the
    // new page, not of the one before; a submission by click brings a second
    // event for the server's answer, before that page's document complete.
    void navigateCompleteActsOnTheNewDocument()
    {
        QVERIFY(load(fixture(QStringLiteral("plain.html"))));

        const QString action = m_sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl")).toString();
        const QString page = m_dir.filePath(QStringLiteral("twoforms.html"));
        QFile file(page);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("<html><head><meta charset=\"utf-8\"><title>Zwei</title></head><body>"
                                  "<form method=post action=\"%1\"><input name=subject><input type=submit name=Post>"
                                  "</form><form><input name=other></form></body></html>")
                       .arg(action)
                       .toUtf8());
        file.close();

        QStringList events;
        int forms = -1;
        FormBatchResult batch{false, -1, {}};
        connect(m_host, &BrowserHost::DocumentComplete, this,
                [&](const QString &address) { events << QStringLiteral("DC ") + address; });
        connect(m_host, &BrowserHost::NavigateComplete2, this, [&](const QString &address) {
            events << QStringLiteral("NC ") + address;
            if (events.size() != 1)
                return;
            m_host->requestFormCount([&](int n) {
                forms = n;
                m_host->runFormBatch({FormStep::setValue(0, QStringLiteral("Grüße \"</script>\"\n€")),
                                      FormStep::click(1)},
                                     [&](const FormBatchResult &r) { batch = r; });
            });
        });
        m_host->Navigate(page);
        QVERIFY(QTest::qWaitFor([&] { return events.contains(QStringLiteral("DC ") + action); }, 20000));

        QCOMPARE(forms, 2);
        QVERIFY2(batch.ok, qPrintable(batch.error));
        QCOMPARE(events.first(), QStringLiteral("NC ") + QUrl::fromLocalFile(page).toString());
        QCOMPARE(events.count(QStringLiteral("NC ") + action), 1);
        QVERIFY(events.indexOf(QStringLiteral("NC ") + action) < events.indexOf(QStringLiteral("DC ") + action));
        QCOMPARE(events.filter(QStringLiteral("NC ")).size(), 2);
    }

    // A page that shows one dialog after the other can be silenced from its
    // second dialog on, and then no dialog comes any more.
    void pageDialogsCanBeStopped()
    {
        int shown = 0;
        bool offered = false;
        std::function<void(QWidget *)> answer = [&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY(box);
            ++shown;
            if (QCheckBox *stop = box->checkBox()) {
                keepScreenshot(box, QStringLiteral("page-dialog.png"));
                QCOMPARE(stop->text(), QStringLiteral("Keine weiteren Dialoge von dieser Seite"));
                offered = true;
                stop->setChecked(true);
            } else {
                onNextModal(answer);
            }
            box->button(QMessageBox::Ok)->click();
        };
        const auto watch = onNextModal(answer);
        m_host->Navigate(fixture(QStringLiteral("alertloop.html")));
        QVERIFY(QTest::qWaitFor([&] { return offered; }, 20000));
        QCOMPARE(shown, 2);
        QTest::qWait(1000);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(!watch->timedOut);
    }

    // A link meant for a new window, clicked or opened from the context
    // menu: forum pages go to the main window, other web addresses to the
    // desktop's browser, anything else nowhere.
    void newWindowLinksOpenWhereTheyBelong_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<QString>("mainWindow");
        QTest::addColumn<QString>("desktop");
        const QString forum = m_sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/1002")).toString();
        const QString other = QStringLiteral("http://example.org/werkbank.html");
        QTest::newRow("forum, clicked") << "forum" << false << forum << QString();
        QTest::newRow("forum, menu") << "forum" << true << forum << QString();
        QTest::newRow("other, clicked") << "other" << false << QString() << other;
        QTest::newRow("other, menu") << "other" << true << QString() << other;
        QTest::newRow("file, clicked") << "file" << false << QString() << QString();
    }

    void newWindowLinksOpenWhereTheyBelong()
    {
        QFETCH(QString, link);
        QFETCH(bool, fromMenu);
        QFETCH(QString, mainWindow);
        QFETCH(QString, desktop);
        tarnvik::setEndpoints({m_sim.host(), m_sim.host(), QStringLiteral("holzwerkerforum")});
        QList<QUrl> forumPages;
        tarnvik::setForumPageOpener([&](const QUrl &url) { forumPages << url; });
        DesktopBrowser browser;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
        const auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); });

        const QString page = m_dir.filePath(QStringLiteral("links.html"));
        QFile file(page);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("<html><body style='font-size:30px'>"
                                  "<p><a id=forum target=_blank href='%1'>Forum</a></p>"
                                  "<p><a id=other target=_blank href='http://example.org/werkbank.html'>Anderswo</a></p>"
                                  "<p><a id=file target=_blank href='file:///etc/hostname'>Datei</a></p>"
                                  "</body></html>")
                       .arg(m_sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/1002")).toString())
                       .toUtf8());
        file.close();
        QVERIFY(load(page));
        m_host->view()->setFocus();
        QWidget *target = m_host->view()->focusProxy();
        QVERIFY(target);
        const QPoint centre = centreOf(link);
        QVERIFY(!centre.isNull());
        if (!fromMenu) {
            QTest::mouseClick(target, Qt::LeftButton, {}, centre);
        } else {
            QTest::mouseClick(target, Qt::RightButton, {}, centre);
            QMenu *menu = nullptr;
            QVERIFY(QTest::qWaitFor([&] { return (menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())); },
                                    10000));
            QAction *newWindow = m_host->page()->action(QWebEnginePage::OpenLinkInNewWindow);
            QVERIFY(menu->actions().contains(newWindow));
            newWindow->trigger();
            menu->close();
        }
        QTest::qWait(1500);
        QCOMPARE(forumPages, mainWindow.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(mainWindow)});
        QCOMPARE(browser.opened, desktop.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(desktop)});
        // The page itself stays where it was.
        QCOMPARE(m_host->page()->url(), QUrl::fromLocalFile(page));
    }

    // The zoom holds for the next page and for a browser made later, until
    // Ctrl+0 sets it back.
    void zoomHoldsForTheSession()
    {
        QVERIFY(load(fixture(QStringLiteral("plain.html"))));
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_host->view()->setFocus();
        QTest::keyClick(m_window.get(), Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(m_window.get(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(m_host->page()->zoomFactor(), 1.25);
        QTest::keyClick(m_window.get(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(m_host->page()->zoomFactor(), 1.1);

        QVERIFY(load(m_sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl")).toString()));
        QCOMPARE(m_host->page()->zoomFactor(), 1.1);
        int width = 0;
        m_host->page()->runJavaScript(QStringLiteral("window.innerWidth"), [&](const QVariant &v) { width = v.toInt(); });
        QVERIFY(QTest::qWaitFor([&] { return width > 0; }, 10000));
        QVERIFY2(qAbs(width * 1.1 - m_host->view()->width()) < 3, qPrintable(QString::number(width)));

        QWidget other;
        WebEngineHost second(&other);
        QCOMPARE(second.page()->zoomFactor(), 1.1);
        QTest::keyClick(m_window.get(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(m_host->page()->zoomFactor(), 1.0);
        QCOMPARE(tarnvik::zoom::sessionFactor(), 1.0);
    }

    void hungPageIsReportedAndReloaded()
    {
        WebEngineHost::setHangThreshold(1500);
        QVERIFY(load(fixture(QStringLiteral("plain.html"))));
        QSignalSpy problems(m_host, &WebEngineHost::pageProblem);
        m_host->view()->page()->runJavaScript(QStringLiteral("setTimeout(function () { for (;;) {} }, 0);"));
        QVERIFY(problems.wait(10000));
        QCOMPARE(m_host->problemText(), QStringLiteral("Die Seite reagiert nicht mehr."));
        keepScreenshot(m_window.get(), QStringLiteral("page-hung.png"));

        QSignalSpy completed(m_host, &BrowserHost::DocumentComplete);
        m_host->widget()->findChild<QPushButton *>(QStringLiteral("btnReload"))->click();
        QVERIFY(completed.wait(15000));
        // The page answers again; no report comes back.
        QTest::qWait(2500);
        QVERIFY(m_host->problemText().isEmpty());
        QCOMPARE(m_host->DocumentTitle(), QStringLiteral("Ohne Formular"));
    }

    void crashedPageIsReportedAndReloaded()
    {
        QVERIFY(load(fixture(QStringLiteral("plain.html"))));
        QSignalSpy problems(m_host, &WebEngineHost::pageProblem);
        const qint64 pid = m_host->view()->page()->renderProcessPid();
        QVERIFY(pid > 0);
        ::kill(pid_t(pid), SIGKILL);
        QVERIFY(problems.wait(10000));
        QCOMPARE(m_host->problemText(), QStringLiteral("Die Anzeige der Seite ist abgestürzt."));

        QSignalSpy completed(m_host, &BrowserHost::DocumentComplete);
        m_host->widget()->findChild<QPushButton *>(QStringLiteral("btnReload"))->click();
        QVERIFY(completed.wait(15000));
        QVERIFY(m_host->problemText().isEmpty());
        QCOMPARE(m_host->DocumentTitle(), QStringLiteral("Ohne Formular"));
    }
};

int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    TestBrowserHost test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_browserhost.moc"
