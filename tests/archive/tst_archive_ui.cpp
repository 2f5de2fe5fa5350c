// The window "Archiv" over a real archive, with a browser host that only
// records where it is sent.
#include "ThreadPage.h"
#include "archive/Archive.h"
#include "archive/ArchiveFeature.h"
#include "archive/ArchiveHooks.h"
#include "archive/ArchiveWindow.h"
#include "common/FakeBrowserHost.h"
#include "common/Widgets.h"
#include "ui_Archiv.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnvik::archive;
using threadpage::Message;

class TestArchiveUi : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_main;
    FakeBrowserHost *m_browser = nullptr;
    std::unique_ptr<ArchiveFeature> m_feature;

    Ui::TfrmArchiv *ui() const { return m_feature->archiveWindow()->controls(); }

    bool searchFor(const QString &text)
    {
        ui()->ESuche->clear();
        QTest::keyClicks(ui()->ESuche, text);
        QSignalSpy found(m_feature->archive(), &Archive::found);
        return found.wait(5000);
    }

    void keep(const QString &address, const QString &body)
    {
        QSignalSpy kept(m_feature->archive(), &Archive::kept);
        m_feature->archive()->keepShownPage(address, body);
        QVERIFY(kept.wait(10000));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_main = std::make_unique<QWidget>();
        m_browser = new FakeBrowserHost(m_main.get());
        m_feature = std::make_unique<ArchiveFeature>(
            m_main.get(), m_browser,
            ArchiveFeature::Setup{m_dir.filePath(QStringLiteral("Tarnvik.sqlite")),
                                  m_dir.filePath(QStringLiteral("Ansicht/")), true, [] { return QString(); }});
        const QString date = QStringLiteral("2. Februar 2022 um 18:00:00");
        keep(threadpage::address(1001),
             threadpage::body(QStringLiteral("Schränke aus Eiche"),
                              {{1001, QStringLiteral("Schränke aus Eiche"), QStringLiteral("Holzwurm"), date,
                                {QStringLiteral("Wer hat schon Schränke aus Eiche gebaut?")}, {}},
                               {1002, QStringLiteral("Re: Schränke aus Eiche"), QStringLiteral("Span"),
                                QStringLiteral("3. Februar 2022 um 09:30:00"),
                                {QStringLiteral("Ja, zwei Schränke, geölt."), QStringLiteral("Grüße")}, {}}}));
        keep(QStringLiteral("http://127.0.0.1:18480/cgi-bin/marktplatz/webbbs_config.pl/read/3001/thread#3001"),
             threadpage::body(QStringLiteral("Verkaufe Schrank"),
                              {{3001, QStringLiteral("Verkaufe Schrank"), QStringLiteral("Hobelmeister"), date,
                                {QStringLiteral("Alter Schrank, Eiche massiv.")}, {}}}));
        m_feature->showWindow();
        QVERIFY(testwidgets::showActive(m_feature->archiveWindow()));
    }

    void typingShowsThreadsAndEnterOpensTheHit()
    {
        QVERIFY(searchFor(QStringLiteral("schraenke")));
        QTreeWidget *tree = ui()->tvTreffer;
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
        QCOMPARE(ui()->lblStatus->text(), QStringLiteral("1 Thread gefunden"));
        testwidgets::keepScreenshot(m_feature->archiveWindow(), QStringLiteral("archiv-treffer.png"), 300);

        QTest::keyClick(ui()->ESuche, Qt::Key_Down);
        QVERIFY(tree->hasFocus());
        QTest::keyClick(tree, Qt::Key_Down);
        QTest::keyClick(tree, Qt::Key_Return);
        QTRY_COMPARE(m_browser->navigated.size(), 1);
        QVERIFY(!m_feature->archiveWindow()->isVisible());
        const QUrl shown(m_browser->navigated.first());
        QVERIFY(shown.isLocalFile());
        QVERIFY(shown.fragment().startsWith(QLatin1Char('b')));
        QFile page(shown.toLocalFile());
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(page.readAll());
        QVERIFY(html.contains(QStringLiteral("id=\"%1\"").arg(shown.fragment())));
        QVERIFY(html.contains(QStringLiteral("Wer hat schon <mark>Schränke</mark> aus Eiche")));
        QVERIFY(html.contains(QStringLiteral("Im Forum öffnen")));
    }

    void filtersNarrowTheResults()
    {
        m_feature->showWindow();
        QVERIFY(searchFor(QStringLiteral("eiche")));
        QCOMPARE(ui()->tvTreffer->topLevelItemCount(), 2);
        QSignalSpy found(m_feature->archive(), &Archive::found);
        ui()->cbBereich->setCurrentIndex(ui()->cbBereich->findText(QStringLiteral("Marktplatz")));
        QVERIFY(found.wait(5000));
        QCOMPARE(ui()->tvTreffer->topLevelItemCount(), 1);
        ui()->cbBereich->setCurrentIndex(0);
        QTest::keyClicks(ui()->EAutor, QStringLiteral("span"));
        QVERIFY(found.wait(5000));
        QCOMPARE(ui()->tvTreffer->topLevelItemCount(), 1);
        QCOMPARE(ui()->tvTreffer->topLevelItem(0)->childCount(), 1);
        ui()->EAutor->clear();
        ui()->chkZeitraum->setChecked(true);
        ui()->deVon->setDate(QDate(2022, 2, 3));
        ui()->deBis->setDate(QDate(2022, 2, 3));
        QVERIFY(found.wait(5000));
        QCOMPARE(ui()->lblStatus->text(), QStringLiteral("1 Thread gefunden"));
        QTest::keyClick(ui()->ESuche, Qt::Key_Escape);
        QVERIFY(!m_feature->archiveWindow()->isVisible());
    }

    void pagesAndExportsReachTheArchive()
    {
        // The page's text arrives after another page came in: not kept.
        m_browser->deferBody = true;
        m_browser->body = threadpage::numbered(1500, 2);
        m_feature->keepShownThread(threadpage::address(1500));
        m_browser->complete(QStringLiteral("http://127.0.0.1:18480/"));
        m_browser->releaseBodies();
        QCOMPARE(m_feature->archive()->pendingWrites(), 0);

        QSignalSpy kept(m_feature->archive(), &Archive::kept);
        m_feature->keepShownThread(threadpage::address(1500));
        m_browser->releaseBodies();
        QVERIFY(kept.wait(10000));
        QCOMPARE(kept.last().first().toInt(), 1500);

        struct Download {
            QUrl address;
            QString file;
        };
        keepExportedThread(QUrl(threadpage::address(1600)), threadpage::numbered(1600, 2).split(QStringLiteral("\r\n")),
                           QList<Download>{});
        QVERIFY(kept.wait(10000));
        QCOMPARE(kept.last().first().toInt(), 1600);
    }
};

QTEST_MAIN(TestArchiveUi)
#include "tst_archive_ui.moc"
