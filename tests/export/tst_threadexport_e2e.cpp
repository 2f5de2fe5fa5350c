// The thread export with Qt WebEngine against the forum simulator: the
// extraction of real serialised pages, F6 through the main window, and the
// pictures fetched from the simulator's picture server.
#include "browser/WebEngineHost.h"
#include "common/ForumSim.h"
#include "common/ModalHelper.h"
#include "common/TestSettings.h"
#include "export/ExportProgress.h"
#include "export/ExportText.h"
#include "export/PictureDownloader.h"
#include "export/ThreadExport.h"
#include "export/Title.h"
#include "main/Main.h"
#include "state/DModul.h"
#include "state/Endpoints.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

using namespace tarnvik;

class TestThreadExportE2E : public QObject
{
    Q_OBJECT

    ForumSim m_sim;
    QTemporaryDir m_dir;
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<TfrmMain> m_main;

    QString section() const { return forumSectionAddress(Forums::HandTools); }
    QString workFile() const { return DM->WorkPath() + QStringLiteral("Temp.html"); }

    bool startSim(const QStringList &args = {})
    {
        if (!m_sim.start(args)) {
            qWarning() << m_sim.errorString();
            return false;
        }
        setEndpoints({m_sim.host(), m_sim.host(), QStringLiteral("holzwerkerforum")});
        return true;
    }

    bool open(const QString &address)
    {
        QSignalSpy spy(m_main.get(), &TfrmMain::pageProcessed);
        m_main->WebBrowser()->Navigate(address);
        return QTest::qWaitFor([&] {
            for (const QList<QVariant> &args : std::as_const(spy))
                if (args.at(0).toString() == address)
                    return true;
            return false;
        }, 60000);
    }

    QString body()
    {
        QString text;
        bool done = false;
        m_main->WebBrowser()->requestBodyOuterHtml([&](const QString &html) {
            text = html;
            done = true;
        });
        return QTest::qWaitFor([&] { return done; }, 30000) ? text : QString();
    }

    // F6 with the proposed title; the export then runs on.
    QPointer<ThreadExport> exportWithF6()
    {
        m_main->activateWindow();
        if (!QTest::qWaitForWindowActive(m_main.get()))
            qWarning("main window not active");
        auto watch = onNextModalOf<TfrmDocTitle>([](TfrmDocTitle *d) { QTest::keyClick(d, Qt::Key_Return); });
        QTest::keyClick(m_main.get(), Qt::Key_F6);
        if (!QTest::qWaitFor([&] { return watch->acted; }, 10000))
            qWarning("no title dialog");
        return m_main->runningExport();
    }

    void closeMessageBox()
    {
        QTRY_VERIFY(m_main->findChild<QMessageBox *>());
        m_main->findChild<QMessageBox *>()->close();
        QTest::qWait(50);
    }

    void keepScreenshot(QWidget *window, const QString &name)
    {
        const QByteArray dir = qgetenv("TARNVIK_SCREENSHOT_DIR");
        if (dir.isEmpty())
            return;
        QTest::qWait(1000);
        window->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(startSim());
        m_main = std::make_unique<TfrmMain>();
        m_dm = std::make_unique<TDM>(TDMEnvironment::inFolder(freshSettingsFile(m_dir, 3), m_dir.path(), m_dir.path()));
        DM = m_dm.get();
        m_main->resize(1000, 700);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
        m_main->activateWindow();
        if (!QTest::qWaitForWindowActive(m_main.get()))
            qWarning() << "active:" << QApplication::activeWindow() << QApplication::activeModalWidget()
                       << QApplication::topLevelWidgets();
    }

    // An export a failed test left behind must not spill into the next one.
    void cleanup()
    {
        if (ThreadExport *run = m_main->runningExport()) {
            run->cancel();
            QTRY_VERIFY(!m_main->runningExport());
        }
        for (QMessageBox *box : m_main->findChildren<QMessageBox *>())
            box->close();
    }

    void cleanupTestCase()
    {
        m_main.reset();
        m_dm.reset();
        DM = nullptr;
    }

    void extractionOfServedPages_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("whole");
        QTest::newRow("whole thread") << "/read/1001/thread#1001" << true;
        QTest::newRow("single message") << "/read/1002" << false;
    }
    void extractionOfServedPages()
    {
        QFETCH(QString, path);
        QFETCH(bool, whole);
        QVERIFY(open(section() + path));
        const QStringList source = SplitBodyLines(body());
        PictureState pictures;
        pictures.title = QStringLiteral("Hobelbank");
        pictures.picturesFolder = m_dir.filePath(QStringLiteral("Bilder/"));
        pictures.pageAddress = QUrl(DM->CurrentUrl());
        const Extraction result = ExtractThread(source, m_main->titleCaption(), whole, pictures);
        QCOMPARE(int(result.end), int(ExtractionEnd::Complete));
        const QStringList &out = result.lines;
        QVERIFY(out.first().startsWith(QStringLiteral("<BODY")));
        QVERIFY(out.at(1).contains(m_main->titleCaption()));
        QCOMPARE(out.last(), QStringLiteral("</BODY></HTML>"));

        const auto count = [](const QStringList &lines, const QString &text) {
            return int(std::count_if(lines.begin(), lines.end(), [&](const QString &l) { return l.contains(text); }));
        };
        const QString pictureTag = QStringLiteral("<IMG src=");
        QVERIFY(count(source, pictureTag) > 0);
        QCOMPARE(int(pictures.downloads.size()), count(source, pictureTag));
        QCOMPARE(count(out, pictureTag), count(source, pictureTag));
        QCOMPARE(count(out, QStringLiteral("src=\"http")), 0);
        if (whole) {
            // Each message: heading, text, two empty lines; nothing of the rest.
            const int messages = count(source, QStringLiteral("<P align=center><STRONG><BIG>"));
            QCOMPARE(messages, 4);
            QCOMPARE(count(out, QStringLiteral("<P align=center><STRONG><BIG>")), messages);
            QCOMPARE(int(out.count(QString())), 2 * messages);
            QCOMPARE(count(out, QStringLiteral("Einzelansicht")), 0);
            QCOMPARE(count(out, QStringLiteral("Zurück zum Index")), 0);
        } else {
            // Every line from the title line to the end marker, and no further.
            const qsizetype title = source.indexOf(out.at(1));
            const qsizetype end = std::find_if(source.begin(), source.end(), [](const QString &l) {
                                      return l.contains(QStringLiteral("in diesem Thread"));
                                  }) - source.begin();
            QCOMPARE(out.size(), end - title + 2);
        }
    }

    // F6 on the whole thread: the work file is written and, without a word
    // processor, the status says where it is; it shows in the browser.
    void exportOfTheWholeThread()
    {
        QFile::remove(workFile());
        QVERIFY(open(section() + QStringLiteral("/read/1001/thread#1001")));
        exportWithF6();
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->runningExport(), 60000);
        closeMessageBox();
        QFile file(workFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("<BODY"));
        QVERIFY(bytes.endsWith("</BODY></HTML>\r\n"));
        QVERIFY(std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }));
        QVERIFY(bytes.contains("Hobelbank aus Buche &#8211; Erfahrungen?"));
        QVERIFY(m_main->statusText().contains(QDir::toNativeSeparators(workFile())));
        // The thread's pictures lie beside it, and the work file points at them.
        const QStringList pictures = QDir(DM->PicturesPath()).entryList(QDir::Files);
        QCOMPARE(pictures.size(), 3);
        for (const QString &name : pictures)
            QVERIFY(bytes.contains(PictureSource(DM->PicturesPath() + name).toLatin1()));

        // A look at what the word processor gets.
        QSignalSpy loaded(m_main->WebBrowser(), &BrowserHost::DocumentComplete);
        m_main->WebBrowser()->Navigate(workFile());
        QVERIFY(loaded.wait(20000));
        keepScreenshot(m_main.get(), QStringLiteral("temp-html.png"));
    }

    // Twenty pictures from the picture server, one missing and one slow: the
    // others do not wait for the slow one, the missing one leaves no file.
    void twentyPicturesInParallel()
    {
        QVERIFY(startSim({QStringLiteral("--large-thread"), QStringLiteral("200"), QStringLiteral("--missing-picture"), QStringLiteral("5003"),
                          QStringLiteral("--slow-picture"), QStringLiteral("5007:4000")}));
        QDir(DM->PicturesPath()).removeRecursively();
        QVERIFY(open(m_sim.url(m_sim.largeThreadPath()).toString()));
        const QPointer<ThreadExport> run = exportWithF6();
        QVERIFY(run);
        QTRY_VERIFY_WITH_TIMEOUT(run && run->phase() == ThreadExport::Phase::Downloading, 30000);
        QCOMPARE(run->downloader()->total(), 20);
        QTRY_VERIFY_WITH_TIMEOUT(run && run->downloader()->done() == 19, 3500);
        // The slow one is still on its way; the progress shows.
        QTRY_VERIFY(run && run->progressDialog() && run->progressDialog()->isVisible());
        QCOMPARE(run->phase(), ThreadExport::Phase::Downloading);
        QCOMPARE(run->progressDialog()->text(), QStringLiteral("Bilder werden geladen: 19 von 20"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->runningExport(), 20000);
        closeMessageBox();
        const QStringList files = QDir(DM->PicturesPath()).entryList(QDir::Files);
        QCOMPARE(files.size(), 19);
        QVERIFY(m_main->statusText().endsWith(QStringLiteral("(1 Bild fehlt)")));
        QVERIFY(QFile::exists(workFile()));
    }

    // Cancel while pictures are loading: no work file, no partial picture.
    void cancelInTheMiddle()
    {
        QVERIFY(startSim({QStringLiteral("--large-thread"), QStringLiteral("200"), QStringLiteral("--picture-delay"),
                          QStringLiteral("1000")}));
        QDir(DM->PicturesPath()).removeRecursively();
        QFile::remove(workFile());
        QVERIFY(open(m_sim.url(m_sim.largeThreadPath()).toString()));
        const QPointer<ThreadExport> run = exportWithF6();
        QVERIFY(run);
        QTRY_VERIFY_WITH_TIMEOUT(run && run->downloader()->done() >= 6 && run->progressDialog(), 20000);
        QVERIFY(run->downloader()->done() < 20);
        if (qEnvironmentVariableIsSet("TARNVIK_SCREENSHOT_DIR"))
            run->progressDialog()->grab().save(qEnvironmentVariable("TARNVIK_SCREENSHOT_DIR") + QStringLiteral("/progress-e2e.png"));
        QTest::mouseClick(run->progressDialog()->findChild<QPushButton *>(QStringLiteral("btnCancel")), Qt::LeftButton);
        QTRY_VERIFY(!m_main->runningExport());
        QCOMPARE(m_main->statusText(), QStringLiteral("Export abgebrochen."));
        QVERIFY(!QFile::exists(workFile()));
        QTest::qWait(1000); // transfers that were cut off must not come back
        for (const QFileInfo &file : QDir(DM->PicturesPath()).entryInfoList(QDir::Files | QDir::Hidden)) {
            QVERIFY2(file.suffix() == QLatin1String("jpg"), qPrintable(file.fileName()));
            QImage picture(file.filePath());
            QVERIFY2(!picture.isNull(), qPrintable(file.fileName()));
        }
    }
};

int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    TestThreadExportE2E test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_threadexport_e2e.moc"
