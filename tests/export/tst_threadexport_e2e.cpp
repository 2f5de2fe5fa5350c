// The thread export with Qt WebEngine against the forum simulator: the
// extraction of real serialised pages, F6 through the main window, the
// pictures fetched from the simulator's picture server, and the document
// the office makes of it. The suite's office runs headless on a pipe and a
// profile of its own, is started by the first export and quit at the end;
// in a build without the office binding the exports end in its message.
#include "browser/WebEngineHost.h"
#include "common/BrowserText.h"
#include "common/ForumSim.h"
#include "common/ModalHelper.h"
#include "common/TestProgram.h"
#include "export/ExportProgress.h"
#include "export/ExportText.h"
#include "export/FileNames.h"
#include "export/PictureDownloader.h"
#include "export/ThreadExport.h"
#include "export/Title.h"
#include "export/WordConnection.h"
#include "main/Main.h"
#include "state/DModul.h"
#include "state/Endpoints.h"
#ifdef TARNVIK_HAVE_OFFICE
#include "export/OfficeReadBack.h"
#endif

#include <QDirIterator>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QPushButton>
#include <QWebEngineView>
#include <QtTest>

using namespace tarnvik;

namespace {
// An answer in thread 1001 with what the seeded thread lacks: a euro sign.
const QString kAnswer = QStringLiteral("Meine Spindel hat 35 € gekostet, Grüße aus Gießen");

// The pictures of thread 1001 in pixels: B101 and B102 are wider than the
// page at the office's 96 pixels an inch, B104 is small.
const QList<QSize> kThreadPictures{{2000, 1500}, {1750, 1050}, {480, 360}};
} // namespace

class TestThreadExportE2E : public QObject
{
    Q_OBJECT

    ForumSim m_sim;
    TestProgram m_program;
    word::OfficeOptions m_office;

    TfrmMain *window() const { return m_program.main(); }

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
        QSignalSpy spy(window(), &TfrmMain::pageProcessed);
        window()->WebBrowser()->Navigate(address);
        return QTest::qWaitFor([&] {
            for (const QList<QVariant> &args : std::as_const(spy))
                if (args.at(0).toString() == address)
                    return true;
            return false;
        }, 60000);
    }

    QString body() { return bodyText(window()->WebBrowser(), {}, 30000); }

    // Publishes an answer in a thread, as the posting form would.
    bool postAnswer(int thread, const QString &text)
    {
        const QList<std::pair<QString, QString>> fields{
            {"followup", QString::number(thread)}, {"name", "Dörte Fuß"}, {"site", "holzwerkerforum"},
            {"email", "d@example.org"}, {"subject", "Re: Spindel"}, {"body", text}, {"url", ""},
            {"url_title", ""}, {"image_url", ""}, {"password", ""}, {"action", "post"}};
        QByteArray form;
        for (const auto &[name, value] : fields)
            form += (form.isEmpty() ? "" : "&") + name.toUtf8().toPercentEncoding() + '=' + value.toUtf8().toPercentEncoding();
        QNetworkAccessManager nam;
        QNetworkRequest request(m_sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl")));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        QNetworkReply *reply = nam.post(request, form);
        QSignalSpy done(reply, &QNetworkReply::finished);
        const bool ok = done.wait(10000) && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 303;
        delete reply;
        return ok;
    }

    // F6 with the proposed title, or with `title` put into the field as a
    // paste would; the export then runs on.
    QPointer<ThreadExport> exportWithF6(const QString &title = {})
    {
        window()->activateWindow();
        if (!QTest::qWaitForWindowActive(window()))
            qWarning("main window not active");
        auto watch = onNextModalOf<TfrmDocTitle>([title](TfrmDocTitle *d) {
            if (!title.isEmpty())
                d->findChild<QLineEdit *>(QStringLiteral("ETitle"))->setText(title);
            QTest::keyClick(d, Qt::Key_Return);
        });
        QTest::keyClick(window(), Qt::Key_F6);
        if (!QTest::qWaitFor([&] { return watch->acted; }, 10000))
            qWarning("no title dialog");
        return window()->runningExport();
    }

    void closeMessageBox()
    {
        QTRY_VERIFY(window()->findChild<QMessageBox *>());
        window()->findChild<QMessageBox *>()->close();
        QTest::qWait(50);
    }

    void keepScreenshot(QWidget *window, const QString &name, int settleMs = 1000)
    {
        const QByteArray dir = qgetenv("TARNVIK_SCREENSHOT_DIR");
        if (dir.isEmpty())
            return;
        QTest::qWait(settleMs);
        window->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name);
    }

    // Waits for the end of an export that got as far as the office phase.
    // With the office: the document named by `title` is in the export folder
    // and the status bar says so (`document` gets its path). Without it: the
    // message names the work file, which stays.
    void expectOfficeOutcome(const QString &title, QString *document)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!window()->runningExport(), 120000);
        document->clear();
        if (!word::isAvailable()) {
            closeMessageBox();
            QVERIFY(window()->statusText().startsWith(word::unavailableMessage()));
            QVERIFY(window()->statusText().contains(QDir::toNativeSeparators(workFile())));
            QVERIFY(QFile::exists(workFile()));
            return;
        }
        const QString file = DM->DokuPath() + toValidFileName(title) + QStringLiteral(".doc");
        QVERIFY2(window()->statusText().startsWith(QStringLiteral("Dokument gespeichert: ") + QDir::toNativeSeparators(file)),
                 qPrintable(window()->statusText()));
        QVERIFY(QFile::exists(file));
        *document = file;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(startSim());
        QVERIFY(postAnswer(1001, kAnswer));
        // The suite's own office, never the developer's: started by the
        // first export, headless, with a profile that goes with the suite.
        m_office = word::OfficeOptions::defaults();
        m_office.pipeName = QStringLiteral("tarnvik_e2e_%1").arg(QCoreApplication::applicationPid());
        m_office.profileFolder = m_program.filePath(QStringLiteral("office-profile"));
        m_office.headless = true;
        m_office.startTimeoutMs = 90000;
        word::setOfficeOptions(m_office);
        QVERIFY(m_program.start(ProgramStart(3, ProgramStart::RealBrowser)));
        window()->resize(1000, 700);
        window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        window()->activateWindow();
        if (!QTest::qWaitForWindowActive(window()))
            qWarning() << "active:" << QApplication::activeWindow() << QApplication::activeModalWidget()
                       << QApplication::topLevelWidgets();
    }

    // An export a failed test left behind must not spill into the next one.
    void cleanup()
    {
        if (ThreadExport *run = window()->runningExport()) {
            run->cancel();
            QTRY_VERIFY(!window()->runningExport());
        }
        for (QMessageBox *box : window()->findChildren<QMessageBox *>())
            box->close();
    }

    void cleanupTestCase()
    {
        m_program.stop();
        ReleaseWordConnections();
#ifdef TARNVIK_HAVE_OFFICE
        // The profile goes with the temporary folder once the office is gone.
        QVERIFY(readback::quitOffice(m_office.pipeName));
#endif
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
        pictures.picturesFolder = m_program.filePath(QStringLiteral("Bilder/"));
        pictures.pageAddress = QUrl(DM->CurrentUrl());
        const Extraction result = ExtractThread(source, window()->titleCaption(), whole, pictures);
        QCOMPARE(int(result.end), int(ExtractionEnd::Complete));
        const QStringList &out = result.lines;
        QVERIFY(out.first().startsWith(QStringLiteral("<BODY")));
        QVERIFY(out.at(1).contains(window()->titleCaption()));
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
            QCOMPARE(messages, 5); // the seeded four and the suite's answer
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

    // F6 on the whole thread, to the document in the export folder: read
    // back by the office with the pictures folder moved away, it holds the
    // pictures itself, none wider than 17.5 cm and none distorted, margins
    // of 2 cm, and the thread's text exactly.
    void exportOfTheWholeThread()
    {
        QFile::remove(workFile());
        QVERIFY(open(section() + QStringLiteral("/read/1001/thread#1001")));
        const QString title = DocTitleProposal(window()->titleCaption());
        QCOMPARE(title, QStringLiteral("Hobelbank aus Buche – Erfahrungen?"));
        exportWithF6();
        QString document;
        expectOfficeOutcome(title, &document);
        if (QTest::currentTestFailed())
            return;

        // The work file the office was given, with the pictures beside it.
        QFile file(workFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("<BODY"));
        QVERIFY(bytes.endsWith("</BODY></HTML>\r\n"));
        QVERIFY(std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }));
        const QStringList pictures = QDir(DM->PicturesPath()).entryList(QDir::Files);
        QCOMPARE(pictures.size(), 3);
        for (const QString &name : pictures)
            QVERIFY(bytes.contains(PictureSource(DM->PicturesPath() + name).toLatin1()));

        // A look at what the word processor gets.
        QSignalSpy loaded(window()->WebBrowser(), &BrowserHost::DocumentComplete);
        window()->WebBrowser()->Navigate(workFile());
        QVERIFY(loaded.wait(20000));
        keepScreenshot(window(), QStringLiteral("temp-html.png"));
        if (document.isEmpty())
            return;
#ifdef TARNVIK_HAVE_OFFICE
        using namespace readback;
        const PicturesAway away(DM->PicturesPath());
        QVERIFY(!QFileInfo::exists(DM->PicturesPath()));
        const auto saved = loadCopy(m_office.pipeName, document, m_program.filePath(QStringLiteral("check.doc")));
        QVERIFY(saved.is());
        const QList<QList<int>> pageMargins = margins(saved);
        const QList<Paragraph> text = paragraphs(saved);
        const QList<Picture> shown = readback::pictures(saved);
        close(saved);

        QVERIFY(!pageMargins.isEmpty());
        for (const QList<int> &m : pageMargins)
            QCOMPARE(m, (QList<int>{2000, 2000, 2000, 2000}));

        // Embedded with their own pixels; the two wide ones narrowed to the
        // limit with their height in proportion, the small one as imported.
        QCOMPARE(shown.size(), kThreadPictures.size());
        for (int i = 0; i < shown.size(); ++i) {
            const Picture &p = shown[i];
            QVERIFY2(!p.linked && p.pixel == kThreadPictures[i], describe(shown));
            const QSize imported = officeSize(p.pixel);
            const QSize expected = imported.width() > 17500
                                       ? QSize(17500, qRound(17500.0 * imported.height() / imported.width()))
                                       : imported;
            QVERIFY2(near(p.size, expected, 10), describe(shown));
        }
        QVERIFY2(shown[0].size.width() < officeSize(shown[0].pixel).width()
                     && shown[1].size.width() < officeSize(shown[1].pixel).width(),
                 describe(shown));

        QVERIFY(!text.isEmpty());
        QCOMPARE(text.first().text, title);
        QString all;
        for (const Paragraph &p : text)
            all += p.text + QLatin1Char('\n');
        for (const QString &expected : {QStringLiteral("Grüße aus dem Schwarzwald"),
                                        QStringLiteral("seit zwölf Jahren aus Buche"),
                                        QStringLiteral("über 12 % Feuchte"), kAnswer})
            QVERIFY2(all.contains(expected), qPrintable(expected));
#endif
    }

    // Twenty pictures from the picture server, one missing and one slow: the
    // others do not wait for the slow one, the missing one leaves no file.
    void twentyPicturesInParallel()
    {
        QVERIFY(startSim({QStringLiteral("--large-thread"), QStringLiteral("200"), QStringLiteral("--missing-picture"), QStringLiteral("5003"),
                          QStringLiteral("--slow-picture"), QStringLiteral("5007:4000")}));
        QDir(DM->PicturesPath()).removeRecursively();
        QVERIFY(open(m_sim.url(m_sim.largeThreadPath()).toString()));
        // A title that is no file name, put into the field as a paste would.
        const QString title = QStringLiteral("../..\\Schrank: <neu>?*");
        const QPointer<ThreadExport> run = exportWithF6(title);
        QVERIFY(run);
        QTRY_VERIFY_WITH_TIMEOUT(run && run->phase() == ThreadExport::Phase::Downloading, 30000);
        QCOMPARE(run->downloader()->total(), 20);
        QTRY_VERIFY_WITH_TIMEOUT(run && run->downloader()->done() == 19, 3500);
        // The slow one is still on its way; the progress shows.
        QTRY_VERIFY(run && run->progressDialog() && run->progressDialog()->isVisible());
        QCOMPARE(run->phase(), ThreadExport::Phase::Downloading);
        QCOMPARE(run->progressDialog()->text(), QStringLiteral("Bilder werden geladen: 19 von 20"));

        // Then the office's own stages under "Dokument wird erstellt…".
        QStringList stages;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            TfrmExportProgress *progress = run ? run->progressDialog() : nullptr;
            if (!progress || progress->text() != QStringLiteral("Dokument wird erstellt…") || progress->detail().isEmpty())
                return;
            if (stages.isEmpty())
                keepScreenshot(progress, QStringLiteral("progress-office.png"), 0);
            if (!stages.contains(progress->detail()))
                stages << progress->detail();
        });
        watch.start(5);
        QString document;
        expectOfficeOutcome(title, &document);
        watch.stop();
        if (QTest::currentTestFailed())
            return;
        if (word::isAvailable())
            QVERIFY2(!stages.isEmpty(), "no stage of the office shown");

        // Every picture but the missing one, each in the pictures folder,
        // and the document beside them: nothing anywhere else.
        const QString name = toValidFileName(title);
        const QStringList files = QDir(DM->PicturesPath()).entryList(QDir::Files);
        QCOMPARE(files.size(), 19);
        for (const QString &file : files)
            QVERIFY2(file.startsWith(name + QLatin1Char('_')), qPrintable(file));
        QDirIterator all(m_program.path(), QDir::Files, QDirIterator::Subdirectories);
        while (all.hasNext()) {
            const QFileInfo file(all.next());
            if (file.fileName().contains(QLatin1String("Schrank")))
                QVERIFY2(file.absolutePath() + QLatin1Char('/') == QDir::fromNativeSeparators(DM->PicturesPath())
                             || file.absoluteFilePath() == document,
                         qPrintable(file.absoluteFilePath()));
        }
        QVERIFY(window()->statusText().endsWith(QStringLiteral("(1 Bild fehlt)")));
        QVERIFY(QFile::exists(workFile()));
    }

    // Cancel while pictures are loading: no work file, and no picture of
    // this export, partial or whole.
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
        QTRY_VERIFY(!window()->runningExport());
        QCOMPARE(window()->statusText(), QStringLiteral("Export abgebrochen."));
        QVERIFY(!QFile::exists(workFile()));
        QTest::qWait(1000); // transfers that were cut off must not come back
        QCOMPARE(QDir(DM->PicturesPath()).entryList(QDir::Files | QDir::Hidden), QStringList());
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
