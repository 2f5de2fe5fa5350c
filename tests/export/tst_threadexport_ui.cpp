// The export's windows and its run from the main window, with a fake
// browser host: the title dialog, the progress dialog, F6 to the work file
// and the end without a word processor (the office program cannot be
// started, as in a build without the binding).
#include "common/ModalHelper.h"
#include "common/TestProgram.h"
#include "common/Widgets.h"
#include "export/ExportProgress.h"
#include "export/ExportText.h"
#include "export/ThreadExport.h"
#include "export/Title.h"
#include "export/WordConnection.h"
#include "main/Main.h"
#include "state/DModul.h"
#include "state/Endpoints.h"
#include "ui_Main.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

using namespace testwidgets;

namespace {
const QString kSingle = QStringLiteral("http://forum.test/cgi-bin/forum/webbbs_config.pl/read/1002");

} // namespace

class TestThreadExportUi : public QObject
{
    Q_OBJECT

    TestProgram m_program;

    TfrmMain *window() const { return m_program.main(); }
    FakeBrowserHost *host() const { return m_program.fake(); }

    QString workFile() const { return DM->WorkPath() + QStringLiteral("Temp.html"); }

    // Runs F6 with the title dialog answered by `answer`.
    std::shared_ptr<ModalWatch> pressF6(std::function<void(TfrmDocTitle *)> answer)
    {
        window()->activateWindow();
        if (!QTest::qWaitForWindowActive(window()))
            qWarning("main window not active");
        auto watch = onNextModalOf<TfrmDocTitle>(std::move(answer));
        QTest::keyClick(window(), Qt::Key_F6);
        return watch;
    }

private Q_SLOTS:
    void initTestCase()
    {
        tarnvik::setEndpoints({QStringLiteral("forum.test"), QStringLiteral("bilder.test"), QStringLiteral("wort")});
        QVERIFY(m_program.start(ProgramStart(3, ProgramStart::FakeBrowser)));
        // An office that cannot be started: never the developer's own.
        tarnvik::word::OfficeOptions office = tarnvik::word::OfficeOptions::defaults();
        office.pipeName = QStringLiteral("tarnvik_ui_test_%1").arg(QCoreApplication::applicationPid());
        office.profileFolder = m_program.filePath(QStringLiteral("profile"));
        office.headless = true;
        office.program = m_program.filePath(QStringLiteral("no-office/soffice"));
        tarnvik::word::setOfficeOptions(office);
        QVERIFY(showActive(window()));
    }

    void cleanupTestCase() { m_program.stop(); }

    void titleDialogWithoutOpenDocuments()
    {
        TfrmDocTitle dialog(nullptr, QStringLiteral("Re: Hobelbank (neu): Frage, bitte"), {});
        QVERIFY(showActive(&dialog));
        auto *title = child<QLineEdit>(&dialog, "ETitle");
        auto *ok = child<QPushButton>(&dialog, "btnOK");
        QCOMPARE(title->text(), QStringLiteral("Hobelbank"));
        QVERIFY(child<QListWidget>(&dialog, "lbDocs")->isHidden());
        keepScreenshot(&dialog, QStringLiteral("title-without-list.png"));

        // Typed refused characters change nothing; others are taken.
        title->setFocus();
        title->end(false);
        QTest::keyClicks(title, QStringLiteral(".:#$(),-2"));
        QCOMPARE(title->text(), QStringLiteral("Hobelbank-2"));
        title->selectAll();
        QTest::keyClick(title, Qt::Key_Delete);
        QVERIFY(!ok->isEnabled());
        QTest::keyClicks(title, QStringLiteral("Werkbank"));
        QVERIFY(ok->isEnabled());
        QTest::keyClick(title, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Title(), QStringLiteral("Werkbank"));
        QCOMPARE(dialog.TargetIndex(), 0);
        // An empty proposal starts with "OK" disabled.
        TfrmDocTitle empty(nullptr, QStringLiteral("(nur Klammer)"), {});
        QVERIFY(!child<QPushButton>(&empty, "btnOK")->isEnabled());
    }

    void titleDialogWithOpenDocuments()
    {
        TfrmDocTitle bare(nullptr, QStringLiteral("Hobelbank"), {});
        TfrmDocTitle dialog(nullptr, QStringLiteral("Hobelbank"), {QStringLiteral("Werkstatt.doc"), QStringLiteral("Notizen.odt")});
        QVERIFY(showActive(&dialog));
        QVERIFY(dialog.height() > bare.height());
        auto *list = child<QListWidget>(&dialog, "lbDocs");
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(0)->text(), QStringLiteral("Neues Dokument"));
        QCOMPARE(list->currentRow(), 0);
        keepScreenshot(&dialog, QStringLiteral("title-with-list.png"));

        // Another document greys the title; it still names the pictures.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
        QVERIFY(!child<QLineEdit>(&dialog, "ETitle")->isEnabled());
        QCOMPARE(dialog.TargetIndex(), 2);
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Up);
        QVERIFY(child<QLineEdit>(&dialog, "ETitle")->isEnabled());
        QCOMPARE(dialog.TargetIndex(), 0);
    }

    void askDocTitleGivesAnEmptyTitleOnCancel()
    {
        QString title = QStringLiteral("Hobelbank");
        int target = -1;
        auto watch = onNextModalOf<TfrmDocTitle>([](TfrmDocTitle *d) { QTest::keyClick(d, Qt::Key_Escape); });
        AskDocTitle(nullptr, title, target, {QStringLiteral("A.doc")});
        QVERIFY(watch->acted);
        QVERIFY(title.isEmpty());
        QCOMPARE(target, 0);
    }

    void progressDialogCancelsOnlyWhileItMay()
    {
        TfrmExportProgress progress(nullptr);
        QSignalSpy cancelled(&progress, &TfrmExportProgress::cancelRequested);
        progress.setProgress(QStringLiteral("Bilder werden geladen: 3 von 12"), 3, 12);
        QVERIFY(showActive(&progress));
        keepScreenshot(&progress, QStringLiteral("progress.png"));
        QTest::keyClick(&progress, Qt::Key_Escape);
        QCOMPARE(cancelled.size(), 1);
        progress.setCancellable(false);
        progress.setProgress(QStringLiteral("Dokument wird erstellt…"));
        QTest::keyClick(&progress, Qt::Key_Escape);
        progress.close();
        QCOMPARE(cancelled.size(), 1);
        QVERIFY(progress.isVisible());
    }

    // F6 on a single message: one export even when F6 comes again while it
    // waits for the page; the work file in ASCII with CR LF; the status
    // says where it is.
    void exportFromTheMainWindow()
    {
        QFile::remove(workFile());
        host()->title = QStringLiteral("Re: Hobelbank");
        host()->body = QStringLiteral("<BODY>\r\n<P><BIG><STRONG>Re: Hobelbank</STRONG></BIG></P>\r\n"
                                      "<P>Grüße <IMG src=\"ftp://x/y.jpg\"></P>\r\n<P>in diesem Thread</P>");
        host()->deferBody = true;
        host()->complete(kSingle);
        QVERIFY(window()->controls()->actExportWord->isEnabled());
        host()->pendingBody.clear();

        auto watch = pressF6([](TfrmDocTitle *d) { QTest::keyClick(d, Qt::Key_Return); });
        QTRY_VERIFY(window()->runningExport() && host()->pendingBody.size() == 1);
        QVERIFY(watch->acted);
        QTest::keyClick(window(), Qt::Key_F6);
        QTest::qWait(100);
        QCOMPARE(host()->pendingBody.size(), 1);
        host()->releaseBodies();
        QTRY_VERIFY(!window()->runningExport());

        QFile file(workFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString picture = tarnvik::PictureSource(DM->PicturesPath() + QStringLiteral("Hobelbank_01.jpg"));
        QCOMPARE(file.readAll(), QStringLiteral("<BODY>\r\n<P><BIG><STRONG>Re: Hobelbank</STRONG></BIG></P>\r\n"
                                               "<P>Gr&#252;&#223;e <IMG src=\"%1\"></P>\r\n</BODY></HTML>\r\n")
                                     .arg(picture)
                                     .toLatin1());
        // Without a word processor a message says so, and the status bar
        // where the thread is; nothing else is written.
        QVERIFY(window()->statusText().startsWith(tarnvik::word::unavailableMessage()));
        QVERIFY(window()->statusText().contains(QDir::toNativeSeparators(workFile())));
        QVERIFY(window()->statusText().endsWith(QStringLiteral("(1 Bild fehlt)")));
        QTRY_VERIFY(window()->findChild<QMessageBox *>());
        QVERIFY(window()->findChild<QMessageBox *>()->text().contains(QDir::toNativeSeparators(workFile())));
        window()->findChild<QMessageBox *>()->close();
        QVERIFY(QDir(DM->DokuPath()).entryList({QStringLiteral("*.doc")}, QDir::Files).isEmpty());
    }

    // A document of the export's title that no export wrote as it is now is
    // replaced only when the user says so.
    void anEarlierDocumentIsReplacedOnlyOnRequest()
    {
        QVERIFY(QDir().mkpath(DM->DokuPath()));
        QFile mine(DM->DokuPath() + QStringLiteral("Hobelbank.doc"));
        QVERIFY(mine.open(QIODevice::WriteOnly) && mine.write("meins") == 5);
        mine.close();
        host()->deferBody = false;
        host()->body = QStringLiteral("<BODY>\r\n<P><BIG><STRONG>Re: Hobelbank</STRONG></BIG></P>\r\n<P>in diesem Thread</P>");
        host()->complete(kSingle);
        for (const bool replace : {false, true}) {
            QFile::remove(workFile());
            std::shared_ptr<ModalWatch> question;
            QString asked;
            pressF6([&](TfrmDocTitle *d) {
                question = onNextModalOf<QMessageBox>([&](QMessageBox *box) {
                    asked = box->text();
                    keepScreenshot(box, QStringLiteral("export-replace-question.png"));
                    for (QAbstractButton *button : box->buttons())
                        if (button->text() == (replace ? QStringLiteral("Ersetzen") : QStringLiteral("Abbrechen")))
                            button->click();
                });
                QTest::keyClick(d, Qt::Key_Return);
            });
            QTRY_VERIFY(question && question->acted);
            QTRY_VERIFY(!window()->runningExport());
            QCOMPARE(asked, QStringLiteral("„Hobelbank.doc“ gibt es im Exportordner schon. Soll es ersetzt werden?"));
            QCOMPARE(QFile::exists(workFile()), replace);
        }
        QTRY_VERIFY(window()->findChild<QMessageBox *>()); // no office to write it with
        window()->findChild<QMessageBox *>()->close();
        QVERIFY(QFile::remove(mine.fileName()));
    }

    // Pictures beyond the export's limit are not fetched and are counted
    // apart from the ones that could not be fetched.
    void picturesOverTheLimitAreCountedApart()
    {
        host()->deferBody = false;
        host()->body = QStringLiteral("<BODY>\r\n<P><BIG><STRONG>Re: Hobelbank</STRONG></BIG></P>\r\n"
                                      "<P><IMG src=\"ftp://x/1.jpg\"> <IMG src=\"ftp://x/2.jpg\"></P>\r\n"
                                      "<P><IMG src=\"ftp://x/3.jpg\"></P>\r\n<P>in diesem Thread</P>");
        tarnvik::ThreadExport::Setup setup;
        setup.pageTitle = QStringLiteral("Re: Hobelbank");
        setup.pageAddress = QUrl(kSingle);
        setup.documentFolder = DM->DokuPath();
        setup.picturesFolder = DM->PicturesPath();
        setup.workFolder = DM->WorkPath();
        setup.maxPictures = 1;
        tarnvik::ThreadExport run(window(), host(), setup);
        QSignalSpy status(&run, &tarnvik::ThreadExport::statusMessage);
        run.startWith(QStringLiteral("Hobelbank"), 0);
        QTRY_COMPARE(status.size(), 1);
        QVERIFY2(status.first().first().toString().endsWith(
                     QStringLiteral("(1 Bild fehlt; 2 Bilder über der Grenze von 1 nicht geladen)")),
                 qPrintable(status.first().first().toString()));
        QTRY_VERIFY(window()->findChild<QMessageBox *>()); // no office to write it with
        window()->findChild<QMessageBox *>()->close();
    }

    void aPageWithoutItsMarkersSaysSo()
    {
        QFile::remove(workFile());
        host()->deferBody = false;
        host()->body = QStringLiteral("<BODY>\r\n<P><BIG><STRONG>Re: Hobelbank</STRONG></BIG></P>\r\n<P>Text</P>");
        host()->complete(kSingle);
        auto watch = pressF6([](TfrmDocTitle *d) { QTest::keyClick(d, Qt::Key_Return); });
        QTRY_VERIFY(watch->acted && !window()->runningExport());
        QCOMPARE(window()->statusText(),
                 tarnvik::ExtractionFailureText(tarnvik::ExtractionEnd::NoEndMarker, false));
        QVERIFY(!QFile::exists(workFile()));
    }
};

QTEST_MAIN(TestThreadExportUi)
#include "tst_threadexport_ui.moc"
