// The real main window with Qt WebEngine against the forum simulator.
#include "browser/FindBar.h"
#include "browser/WebEngineHost.h"
#include "common/BrowserText.h"
#include "common/ForumSim.h"
#include "common/TestProgram.h"
#include "common/Widgets.h"
#include "main/Main.h"
#include "state/DModul.h"
#include "state/Endpoints.h"
#include "ui_Main.h"

#include <QApplication>
#include <QLineEdit>
#include <QWebEngineView>
#include <QtTest>

#include <memory>
#include <optional>


class TestMainE2E : public QObject
{
    Q_OBJECT

    ForumSim m_sim;
    TestProgram m_program;

    QString section(int kind) const { return tarnvik::forumSectionAddress(ForumKind(kind)); }
    TfrmMain *window() const { return m_program.main(); }
    Ui::TfrmMain *ui() const { return window()->controls(); }

    // Waits until the page processing of `address` has finished.
    bool waitProcessed(const QString &address, int timeout = 20000)
    {
        QSignalSpy spy(window(), &TfrmMain::pageProcessed);
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeout) {
            for (const QList<QVariant> &args : std::as_const(spy)) {
                if (args.at(0).toString() == address)
                    return true;
            }
            spy.wait(200);
        }
        qWarning() << "not processed:" << address << "seen:" << spy;
        return false;
    }

    // With TARNVIK_SCREENSHOT_DIR set, keeps a picture of the window for a look.
    void keepScreenshot(const QString &name) { testwidgets::keepScreenshot(window(), name, 1500); }

    static QString fixture(const QString &name)
    {
        return QStringLiteral(TARNVIK_SOURCE_DIR "/tests/main/data/") + name;
    }

    // Loads a page of tests/main/data into the active main window.
    bool showFixture(const QString &name)
    {
        QSignalSpy completed(window()->WebBrowser(), &BrowserHost::DocumentComplete);
        window()->WebBrowser()->Navigate(fixture(name));
        if (!completed.wait(15000))
            return false;
        window()->activateWindow();
        return QTest::qWaitForWindowActive(window());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_sim.start(), "the forum simulator did not start");
        tarnvik::setEndpoints({m_sim.host(), m_sim.host(), QStringLiteral("holzwerkerforum")});
    }

    void cleanupTestCase() { m_program.stop(); }

    void startupOpensTheStoredSectionAndProcessesIt()
    {
        QVERIFY(m_program.start(ProgramStart(0, ProgramStart::RealBrowser)));
        window()->show();
        window()->activateWindow();
        QVERIFY(waitProcessed(section(0)));
        QCOMPARE(window()->statusText(), section(0));
        QCOMPARE(window()->titleCaption(), QStringLiteral("Handwerkzeug-Forum"));
        QCOMPARE(DM->PageTitle, QStringLiteral("Handwerkzeug-Forum"));
        QVERIFY(ui()->actNewThread->isEnabled());
        QVERIFY(!ui()->actAnswerThread->isEnabled());
        QVERIFY(!ui()->actExportWord->isEnabled());
        QCOMPARE(int(DM->Forum()), 0);
        keepScreenshot(QStringLiteral("main-index.png"));
    }

    void sectionKeysAndThePageField()
    {
        QVERIFY(QTest::qWaitForWindowActive(window()));
        ui()->EPage->setText(QStringLiteral("2"));
        QTest::keyClick(window(), Qt::Key_F3);
        // Another section starts at page 1.
        QVERIFY(waitProcessed(section(1)));
        QCOMPARE(ui()->EPage->text(), QStringLiteral("1"));
        ui()->EPage->setText(QStringLiteral("2"));
        QTest::keyClick(window(), Qt::Key_F3);
        QVERIFY(waitProcessed(section(1) + QStringLiteral("/page/2")));
        QCOMPARE(window()->titleCaption(), QStringLiteral("Allgemeines Holzwerker-Forum"));
        QCOMPARE(int(DM->Forum()), 1);
    }

    void singleMessageOffersAllThreadActions()
    {
        const QString address = section(0) + QStringLiteral("/read/1002");
        window()->WebBrowser()->Navigate(address);
        QVERIFY(waitProcessed(address));
        QCOMPARE(DM->ThreadNumber(), 1002);
        QVERIFY(ui()->actAnswerThread->isEnabled());
        QVERIFY(ui()->actExportWord->isEnabled());
        QVERIFY(window()->titleCaption().startsWith(QStringLiteral("Re: ")));
    }

    void wholeThreadShowsTheThreadTitle()
    {
        const QString address = section(0) + QStringLiteral("/read/1001/thread#1001");
        window()->WebBrowser()->Navigate(address);
        QVERIFY(waitProcessed(address));
        QCOMPARE(window()->titleCaption(), QStringLiteral("Hobelbank aus Buche – Erfahrungen?"));
        QCOMPARE(DM->PageTitle, window()->titleCaption());
        QVERIFY(!ui()->actAnswerThread->isEnabled());
        QVERIFY(ui()->actExportWord->isEnabled());
        keepScreenshot(QStringLiteral("main-thread.png"));

        // The serialised page carries the markers the export cuts along.
        const QString body = bodyText(window()->WebBrowser());
        const QStringList lines = body.split(QStringLiteral("\r\n"));
        QVERIFY(lines.first().startsWith(QStringLiteral("<BODY")));
        QVERIFY(lines.contains(QStringLiteral(
            "<P align=center><BIG><BIG><STRONG>Hobelbank aus Buche – Erfahrungen?</STRONG></BIG></BIG></P>")));
        QCOMPARE(body.count(QStringLiteral("<P align=center><STRONG><BIG>")), 4);
        QCOMPARE(body.count(QStringLiteral("</FONT></P></BLOCKQUOTE>")), 4);
        QVERIFY(body.contains(QStringLiteral("Zurück zum Index")));
        QVERIFY(body.contains(QStringLiteral("<IMG src=\"http://")));
        QVERIFY(!body.contains(QLatin1Char('\n') + QStringLiteral("\n")));

        // The title scan needs the text only up to the title line.
        const QString head = bodyText(window()->WebBrowser(), QStringLiteral("<P align=center><BIG><BIG><STRONG>"));
        QVERIFY(body.startsWith(head));
        QVERIFY(head.endsWith(QStringLiteral("</STRONG></BIG></BIG></P>")));
        QCOMPARE(head.count(QStringLiteral("\r\n")), 1);
    }

    void framesEndWithTheTopDocument()
    {
        BrowserHost *host = window()->WebBrowser();
        QSignalSpy navigated(host, &BrowserHost::NavigateComplete2);
        QSignalSpy completed(host, &BrowserHost::DocumentComplete);
        const QString address = m_sim.url(QStringLiteral("/frames/demo")).toString();
        host->Navigate(address);
        QVERIFY(waitProcessed(address));
        QCOMPARE(navigated.size(), 1);
        QVERIFY(completed.size() >= 3);
        QCOMPARE(completed.last().at(0).toString(), address);
        QVERIFY(completed.first().at(0).toString().contains(QStringLiteral("/forum/")));
        QCOMPARE(window()->titleCaption(), QStringLiteral("Rahmenansicht"));
        QVERIFY(!ui()->actNewThread->isEnabled());
        QVERIFY(!ui()->actExportWord->isEnabled());
    }

    // Tag names in capitals, simple attribute values without quotes, each
    // block on a line of its own ending in CR LF.
    void bodyMarkupAsThePageProcessingReadsIt()
    {
        const QString path = fixture(QStringLiteral("serialisation.html"));
        BrowserHost *host = window()->WebBrowser();
        QSignalSpy completed(host, &BrowserHost::DocumentComplete);
        host->Navigate(path);
        QVERIFY(completed.wait(15000));
        QCOMPARE(host->DocumentTitle(), QStringLiteral("Probe"));
        const QString expected = QStringLiteral(
            "<BODY bgcolor=#FFFFFF class=\"a b\">\r\n"
            "<P align=center><BIG><BIG><STRONG>Titel &amp; mehr</STRONG></BIG></BIG></P>\r\n"
            "<BLOCKQUOTE>\r\n"
            "<P><FONT face=Arial>Zeile 1<BR>\r\n"
            "Zeile&nbsp;2 &lt;x&gt;</FONT></P></BLOCKQUOTE>\r\n"
            "<UL>\r\n"
            "<LI>eins</LI>\r\n"
            "<LI><A href=\"http://h/x?a=1&amp;b=2\">zwei</A></LI></UL>\r\n"
            "<FORM><INPUT type=checkbox checked name=c></FORM><!-- Notiz --></BODY>");
        QCOMPARE(bodyText(host), expected);
    }

    void enterInAPageFieldMakesOneLineBreak()
    {
        BrowserHost *host = window()->WebBrowser();
        QVERIFY(showFixture(QStringLiteral("textarea.html")));
        auto *view = static_cast<WebEngineHost *>(host)->view();
        view->setFocus();
        bool focused = false;
        view->page()->runJavaScript(QStringLiteral("document.querySelector('textarea').focus(); true;"),
                                    [&](const QVariant &) { focused = true; });
        QVERIFY(QTest::qWaitFor([&] { return focused; }, 10000));
        QWidget *target = view->focusProxy() ? view->focusProxy() : view;
        QTRY_VERIFY(QApplication::focusWidget() == target);

        // The Ctrl+M that follows each typed Enter must not add a second break.
        QTest::keyClicks(target, QStringLiteral("Hobel"));
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClicks(target, QStringLiteral("bank"));
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                // The answer may come after this try has given up on it.
                auto value = std::make_shared<std::optional<QString>>();
                host->requestFormElements(0, [value](const QList<FormElementInfo> &list) {
                    *value = list.value(0).value;
                });
                return QTest::qWaitFor([&] { return value->has_value(); }, 5000)
                    && **value == QStringLiteral("Hobel\nbank");
            }(),
            10000);
    }

    // Ctrl+F finds in the page; Enter and Shift+Enter step through the
    // matches although the window follows every Enter with its Ctrl+M.
    void findBarStepsThroughTheMatches()
    {
        BrowserHost *host = window()->WebBrowser();
        QVERIFY(showFixture(QStringLiteral("find.html")));
        host->widget()->setFocus();

        auto *bar = window()->findChild<FindBar *>();
        QVERIFY(bar && bar->isHidden());
        QTest::keyClick(window(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QWidget *field = QApplication::focusWidget();
        QVERIFY(field && bar->isAncestorOf(field));
        QTest::keyClicks(field, QStringLiteral("Hobel"));
        QTRY_COMPARE_WITH_TIMEOUT(bar->matchesText(), QStringLiteral("1 von 3"), 10000);
        QTest::keyClick(field, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(bar->matchesText(), QStringLiteral("2 von 3"), 10000);
        QTest::keyClick(field, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(bar->matchesText(), QStringLiteral("3 von 3"), 10000);
        QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
        QTRY_COMPARE_WITH_TIMEOUT(bar->matchesText(), QStringLiteral("2 von 3"), 10000);
        keepScreenshot(QStringLiteral("main-find.png"));
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(bar->isHidden());
        QVERIFY(!bar->isAncestorOf(QApplication::focusWidget()));
    }

    void formBatchStopsAtTheFirstFailingStep()
    {
        const QString path = fixture(QStringLiteral("form.html"));
        BrowserHost *host = window()->WebBrowser();
        QSignalSpy completed(host, &BrowserHost::DocumentComplete);
        host->Navigate(path);
        QVERIFY(completed.wait(15000));

        FormBatchResult result;
        bool done = false;
        host->runFormBatch({FormStep::setValue(0, QStringLiteral("Grüße \"neu\"")), FormStep::setChecked(1),
                            FormStep::click(7), FormStep::setValue(2, QStringLiteral("nie"))},
                           [&](const FormBatchResult &r) {
                               result = r;
                               done = true;
                           });
        QVERIFY(QTest::qWaitFor([&] { return done; }, 10000));
        QVERIFY(!result.ok);
        QCOMPARE(result.failedStep, 2);
        QVERIFY(!result.error.isEmpty());

        QList<FormElementInfo> elements;
        done = false;
        host->requestFormElements(0, [&](const QList<FormElementInfo> &list) {
            elements = list;
            done = true;
        });
        QVERIFY(QTest::qWaitFor([&] { return done; }, 10000));
        QCOMPARE(elements.size(), 3);
        QCOMPARE(elements[0].value, QStringLiteral("Grüße \"neu\""));
        QCOMPARE(elements[1].type, QStringLiteral("checkbox"));
        QCOMPARE(elements[2].value, QStringLiteral("alt"));
        int forms = -1;
        host->requestFormCount([&](int n) { forms = n; });
        QVERIFY(QTest::qWaitFor([&] { return forms >= 0; }, 10000));
        QCOMPARE(forms, 1);
    }
};

int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    TestMainE2E test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_main_e2e.moc"
