// The archive in the real program: a whole thread read from the forum
// simulator is found again with a German query after the simulator has
// stopped, and opens offline in the main browser.
#include "archive/Archive.h"
#include "archive/ArchiveFeature.h"
#include "archive/ArchiveWindow.h"
#include "browser/BrowserHost.h"
#include "common/ForumSim.h"
#include "common/TestProgram.h"
#include "common/Widgets.h"
#include "main/Main.h"
#include "state/DModul.h"
#include "state/Endpoints.h"
#include "ui_Archiv.h"
#include "ui_Main.h"

#include <QSignalSpy>
#include <QToolBar>
#include <QtTest>

using tarnvik::archive::Archive;
using tarnvik::archive::ArchiveFeature;

class TestArchiveE2E : public QObject
{
    Q_OBJECT

    ForumSim m_sim;
    TestProgram m_program;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
        tarnvik::setEndpoints({m_sim.host(), m_sim.host(), QStringLiteral("holzwerkerforum")});
    }

    void readThreadIsFoundAndOpenedOffline()
    {
        QVERIFY(m_program.start(ProgramStart(2, ProgramStart::RealBrowser)));
        TfrmMain &main = *m_program.main();
        ArchiveFeature archive(&main, main.WebBrowser(),
                               {m_program.filePath(QStringLiteral("Tarnvik.sqlite")),
                                m_program.filePath(QStringLiteral("Archivansicht/")), true,
                                [] { return DM->PicturesPath(); }});
        main.attachArchive(&archive);
        QVERIFY(main.controls()->ToolBar1->actions().contains(archive.action()));
        main.show();
        main.activateWindow();

        const QString thread =
            QStringLiteral("http://%1/cgi-bin/forum/webbbs_config.pl/read/1005/thread#1005").arg(m_sim.host());
        QSignalSpy kept(archive.archive(), &Archive::kept);
        main.WebBrowser()->Navigate(thread);
        QVERIFY(kept.wait(30000));
        QCOMPARE(kept.first().first().toInt(), 1005);
        m_sim.stop();
        // The engine's view has the window made anew once it shows a page.
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main, 20000));

        QTest::keyClick(&main, Qt::Key_F9);
        TfrmArchiv *window = archive.archiveWindow();
        QVERIFY(window && window->isVisible());
        QSignalSpy found(archive.archive(), &Archive::found);
        QTest::keyClicks(window->controls()->ESuche, QStringLiteral("Wassersteine schaerfe"));
        QVERIFY(found.wait(5000));
        QCOMPARE(window->controls()->tvTreffer->topLevelItemCount(), 1);
        testwidgets::keepScreenshot(window, QStringLiteral("archiv-e2e-treffer.png"), 300);

        QSignalSpy completed(main.WebBrowser(), &BrowserHost::DocumentComplete);
        QTest::keyClick(window->controls()->ESuche, Qt::Key_Down);
        QTest::keyClick(window->controls()->tvTreffer, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!completed.isEmpty() && completed.last().first().toString().startsWith(QLatin1String("file:")),
                                 20000);
        QString body;
        main.WebBrowser()->requestBodyOuterHtml([&body](const QString &text) { body = text; });
        QTRY_VERIFY_WITH_TIMEOUT(!body.isEmpty(), 10000);
        QVERIFY(body.contains(QStringLiteral("Im Forum öffnen")));
        QVERIFY(body.contains(QStringLiteral("<MARK>schärfe</MARK>"), Qt::CaseInsensitive));
        QCOMPARE(main.titleCaption(), QStringLiteral("Schärfen von Hobeleisen: Wassersteine oder Diamant?"));
        testwidgets::keepScreenshot(&main, QStringLiteral("archiv-e2e-offline.png"), 1000);
    }

    void cleanup() { m_program.stop(); }
};

QTEST_MAIN(TestArchiveE2E)
#include "tst_archive_e2e.moc"
