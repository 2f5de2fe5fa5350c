// The main window's navigation and page processing, driven through a fake
// browser host.
#include "common/TestProgram.h"
#include "common/Widgets.h"
#include "main/Main.h"
#include "main/PageProcessing.h"
#include "state/DModul.h"
#include "state/Endpoints.h"
#include "ui_Main.h"

#include <QAccessible>
#include <QLineEdit>
#include <QtTest>

namespace {
const QString kHost = QStringLiteral("forum.test");
QString section(int kind)
{
    return tarnvik::forumSectionAddress(ForumKind(kind));
}

// Counts the key presses a widget receives, by key.
class KeyCounter : public QObject
{
public:
    int returns = 0;
    int controlM = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Return)
                ++returns;
            if (key->key() == Qt::Key_M && key->modifiers() == Qt::ControlModifier)
                ++controlM;
        }
        return false;
    }
};
} // namespace

class TestPageProcessing : public QObject
{
    Q_OBJECT

    TestProgram m_program;

    TfrmMain *window() const { return m_program.main(); }
    FakeBrowserHost *host() const { return m_program.fake(); }

    void start(int storedForum, bool show)
    {
        QVERIFY(m_program.start(ProgramStart(storedForum, ProgramStart::FakeBrowser)));
        if (show)
            QVERIFY(testwidgets::showActive(window()));
    }

    Ui::TfrmMain *ui() const { return window()->controls(); }

    struct Enabled {
        bool answer, newThread, exportWord;
        bool operator==(const Enabled &) const = default;
    };
    Enabled enabled() const
    {
        return {ui()->actAnswerThread->isEnabled(), ui()->actNewThread->isEnabled(), ui()->actExportWord->isEnabled()};
    }

    static QString threadBody(const QString &titleLine)
    {
        return QStringLiteral("<BODY bgcolor=#ffffff>\r\n%1\r\n<P align=center>3 Beiträge</P>\r\n<HR>").arg(titleLine);
    }

private Q_SLOTS:
    void initTestCase()
    {
        tarnvik::setEndpoints({kHost, QStringLiteral("bilder.test"), QStringLiteral("wort")});
    }

    void cleanup() { m_program.stop(); }

    void startupOpensTheStoredSection_data()
    {
        QTest::addColumn<int>("forum");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("hand tools") << 0 << QStringList{section(0)};
        QTest::newRow("machines") << 1 << QStringList{section(1)};
        QTest::newRow("market") << 2 << QStringList{};
        QTest::newRow("outside") << 3 << QStringList{};
    }

    void startupOpensTheStoredSection()
    {
        QFETCH(int, forum);
        QFETCH(QStringList, expected);
        start(forum, true);
        QCOMPARE(host()->navigated, expected);
        // Before the first page: a new post is possible, the thread actions are not.
        QCOMPARE(enabled(), (Enabled{false, true, false}));
        QVERIFY(!ui()->actHandwerkzeug->icon().isNull());
    }

    void pageField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("fieldAfter");
        QTest::newRow("page 2") << "2" << section(0) + "/page/2" << "2";
        QTest::newRow("page 1") << "1" << section(0) << "1";
        QTest::newRow("zero") << "0" << section(0) << "0";
        QTest::newRow("negative") << "-3" << section(0) << "-3";
        QTest::newRow("letters") << "abc" << section(0) << "1";
        QTest::newRow("beyond the arrows' range") << "999" << section(0) + "/page/999" << "999";
    }

    void pageField()
    {
        QFETCH(QString, field);
        QFETCH(QString, address);
        QFETCH(QString, fieldAfter);
        start(0, true);
        host()->navigated.clear();
        ui()->EPage->setText(field);
        QTest::keyClick(window(), Qt::Key_F2);
        QCOMPARE(host()->navigated, QStringList{address});
        QCOMPARE(ui()->EPage->text(), fieldAfter);
    }

    void changingSectionStartsAtPageOne()
    {
        start(3, true);
        host()->complete(section(1) + "/page/4");
        ui()->EPage->setText(QStringLiteral("4"));
        QTest::keyClick(window(), Qt::Key_F2);
        QCOMPARE(host()->navigated.last(), section(0));
        QCOMPARE(ui()->EPage->text(), QStringLiteral("1"));
        host()->complete(section(0));
        ui()->EPage->setText(QStringLiteral("4"));
        QTest::keyClick(window(), Qt::Key_F2);
        QCOMPARE(host()->navigated.last(), section(0) + "/page/4");
        QTest::keyClick(window(), Qt::Key_F3);
        QCOMPARE(host()->navigated.last(), section(1));
    }

    void upDownStepsWithinItsRange()
    {
        start(3, true);
        ui()->EPage->setText(QStringLiteral("499"));
        ui()->udPage->stepBy(1);
        ui()->udPage->stepBy(1);
        QCOMPARE(ui()->EPage->text(), QStringLiteral("500"));
        ui()->EPage->setText(QStringLiteral("1"));
        ui()->udPage->stepBy(-1);
        QCOMPARE(ui()->EPage->text(), QStringLiteral("1"));
        QVERIFY(host()->navigated.isEmpty()); // stepping loads nothing
    }

    void processing_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("newThread");
        QTest::addColumn<bool>("exportWord");

        QTest::newRow("index") << section(0) << "Handwerkzeug-Forum" << "" << "Handwerkzeug-Forum" << false << true << false;
        QTest::newRow("single message") << section(1) + "/read/2001" << "Spaltkeil" << "" << "Spaltkeil" << true << true
                                        << true;
        QTest::newRow("whole thread")
            << section(0) + "/read/1001/thread#1001" << "Hobelbank – ganzer Thread"
            << threadBody("<P align=center><BIG><BIG><STRONG>Hobelbank aus Buche</STRONG></BIG></BIG></P>")
            << "Hobelbank aus Buche" << false << true << true;
        QTest::newRow("title line without end tag")
            << section(0) + "/read/1001/thread#1001" << "Doc" << threadBody("<P align=center><BIG><BIG><STRONG>Ohne Ende")
            << "" << false << true << true;
        QTest::newRow("marker only in the first line")
            << section(0) + "/read/1001/thread#1001" << "Doc"
            << "<P align=center><BIG><BIG><STRONG>Erste</STRONG>\r\n<P>Text</P>" << "Doc" << false << true << true;
    }

    void processing()
    {
        QFETCH(QString, address);
        QFETCH(QString, title);
        QFETCH(QString, body);
        QFETCH(QString, caption);
        QFETCH(bool, answer);
        QFETCH(bool, newThread);
        QFETCH(bool, exportWord);
        start(3, false);
        host()->title = title;
        host()->body = body;
        QSignalSpy processed(window(), &TfrmMain::pageProcessed);
        host()->complete(address);
        QCOMPARE(processed.size(), 1);
        QCOMPARE(window()->statusText(), address);
        QCOMPARE(window()->titleCaption(), caption);
        QCOMPARE(DM->PageTitle, caption);
        QCOMPARE(enabled(), (Enabled{answer, newThread, exportWord}));
    }

    void pageOutsideTheForumKeepsThePageTitle()
    {
        start(3, false);
        host()->title = QStringLiteral("Hobelbank");
        host()->complete(section(0) + "/read/5");
        host()->title = QStringLiteral("Bild 17");
        host()->complete(QStringLiteral("http://bilder.test/ASP/Bld_D.asp?id=17"));
        QCOMPARE(window()->titleCaption(), QStringLiteral("Bild 17"));
        QCOMPARE(DM->PageTitle, QStringLiteral("Hobelbank"));
        QCOMPARE(enabled(), (Enabled{false, false, false}));
    }

    void framesAreProcessedInTurnAndTheLastDecides()
    {
        start(3, false);
        host()->title = QStringLiteral("Rahmenansicht");
        Q_EMIT host()->DocumentComplete(section(0) + "/read/1002");
        QCOMPARE(enabled(), (Enabled{true, true, true}));
        Q_EMIT host()->DocumentComplete(section(0));
        Q_EMIT host()->DocumentComplete(QStringLiteral("http://forum.test/frames/demo"));
        QCOMPARE(window()->statusText(), QStringLiteral("http://forum.test/frames/demo"));
        QCOMPARE(enabled(), (Enabled{false, false, false}));
    }

    void aLateThreadTitleDoesNotOverwriteTheNextPage()
    {
        start(3, false);
        host()->deferBody = true;
        host()->title = QStringLiteral("Thread");
        host()->body = threadBody("<P align=center><BIG><BIG><STRONG>Alt</STRONG></BIG></BIG></P>");
        host()->complete(section(0) + "/read/7/thread#7");
        QVERIFY(!ui()->actExportWord->isEnabled()); // waits for the title
        host()->title = QStringLiteral("Handwerkzeug-Forum");
        host()->complete(section(0));
        host()->releaseBodies();
        QCOMPARE(window()->titleCaption(), QStringLiteral("Handwerkzeug-Forum"));
        QCOMPARE(DM->PageTitle, QStringLiteral("Handwerkzeug-Forum"));
        QVERIFY(!ui()->actExportWord->isEnabled());
    }

    void threadTitle_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("title");
        const QString m = QStringLiteral("<P align=center><BIG><BIG><STRONG>");
        QTest::newRow("plain") << "<BODY>\r\n" + m + "Säge</STRONG></BIG></BIG></P>" << true << "Säge";
        QTest::newRow("LF lines") << "<BODY>\n<P>x</P>\n" + m + "Säge</STRONG>" << true << "Säge";
        QTest::newRow("first of two") << "<BODY>\r\n" + m + "A</STRONG>\r\n" + m + "B</STRONG>" << true << "A";
        QTest::newRow("empty title") << "<BODY>\r\n" + m + "</STRONG>" << true << "";
        QTest::newRow("end tag before the marker's end") << "<BODY>\r\n<STRONG>x</STRONG>" + m + "T" << true << "";
        QTest::newRow("marker further right") << "<BODY>\r\nab" + m + "Titel</STRONG>" << true << "G>Titel";
        QTest::newRow("lower-case markup") << "<body>\r\n<p align=\"center\"><big><big><strong>x</strong>" << false << "";
        QTest::newRow("no lines") << "" << false << "";
    }

    void threadTitle()
    {
        QFETCH(QString, body);
        QFETCH(bool, found);
        QFETCH(QString, title);
        const std::optional<QString> result = tarnvik::threadTitleFromBody(body);
        QCOMPARE(result.has_value(), found);
        if (found)
            QCOMPARE(*result, title);
    }

    void enterInjectsControlMOnce()
    {
        start(3, true);
        KeyCounter counter;
        ui()->EPage->setFocus();
        QTRY_VERIFY(ui()->EPage->hasFocus());
        ui()->EPage->installEventFilter(&counter);
        QTest::keyClick(ui()->EPage, Qt::Key_Return);
        QTest::keyClick(ui()->EPage, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(counter.returns, 2);
        QCOMPARE(counter.controlM, 2);
        QVERIFY(host()->navigated.isEmpty());
    }

    void controlsCarryAccessibleNames()
    {
        start(3, true);
        host()->title = QStringLiteral("Hobelbank");
        host()->complete(section(0) + "/read/5");
        const auto name = [](QObject *object) {
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
            return iface ? iface->text(QAccessible::Name) : QString();
        };
        QCOMPARE(name(ui()->EPage), QStringLiteral("Seite"));
        QCOMPARE(name(ui()->lblTitle), QStringLiteral("Hobelbank"));
        QCOMPARE(name(ui()->lblPage), QStringLiteral("Seite:"));
        QCOMPARE(name(ui()->ToolBar1->widgetForAction(ui()->actAllgemeinHolz)), QStringLiteral("Allgemein  [F3]"));
        QVERIFY(!name(ui()->udPage).isEmpty());
    }
};

QTEST_MAIN(TestPageProcessing)
#include "tst_pageprocessing.moc"
