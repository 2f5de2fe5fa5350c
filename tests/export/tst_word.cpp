// The office phase of the export against a real LibreOffice: one headless
// office with a profile of its own for the whole suite, started by the first
// build. The saved documents are checked by opening copies of them in that
// office, with the pictures folder moved away.

#include "export/OfficeReadBack.h"
#include "export/ThreadHtml.h"
#include "export/WordConnection.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QProcess>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <unistd.h>

#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/text/ControlCharacter.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/view/XViewSettingsSupplier.hpp>

// The read-back helpers bring the binding's and the office's names along.
using namespace readback;
namespace word = tarnvik::word;

namespace {

// The pictures of the suite's thread in pixels: 756 px are 20.0 cm in the
// office; 661 px (17.49 cm) is the widest that stays as it is.
const QSize kWide(756, 378), kEdge(661, 283), kSmall(120, 80);
const QString kText = QStringLiteral("Grüße aus Köln, Maß 5 € – Łódź");

} // namespace

class TestWord : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_folder; // the export folder, with a blank and an umlaut
    QString m_html;
    word::OfficeOptions m_options;

    Reference<css::frame::XDesktop2> desktop() { return readback::desktop(m_options.pipeName); }

    Reference<css::frame::XModel> load(const QString &file, const char *filter = nullptr)
    {
        return readback::load(m_options.pipeName, file, filter);
    }

    // The office's open document of `file`.
    Reference<css::frame::XModel> openModel(const QString &file)
    {
        if (!desktop().is())
            return nullptr;
        const Reference<css::container::XIndexAccess> frames(desktop()->getFrames(), UNO_QUERY_THROW);
        for (sal_Int32 i = 0; i < frames->getCount(); ++i) {
            const Reference<css::frame::XFrame> frame(frames->getByIndex(i), UNO_QUERY_THROW);
            const auto model = frame->getController().is() ? frame->getController()->getModel() : nullptr;
            if (model.is() && QUrl(toQString(model->getURL())).toLocalFile() == file)
                return model;
        }
        return nullptr;
    }

    Reference<css::frame::XModel> loadCopy(const QString &file)
    {
        return readback::loadCopy(m_options.pipeName, file,
                                  m_tmp.filePath(QStringLiteral("check-") + QFileInfo(file).fileName()));
    }

    void closeAll()
    {
        if (!desktop().is())
            return;
        const Reference<css::container::XIndexAccess> frames(desktop()->getFrames(), UNO_QUERY_THROW);
        for (sal_Int32 i = frames->getCount() - 1; i >= 0; --i) {
            const Reference<css::frame::XFrame> frame(frames->getByIndex(i), UNO_QUERY_THROW);
            if (frame->getController().is())
                close(frame->getController()->getModel());
        }
    }

    // Runs the office phase as the export does, off the UI thread, and
    // waits for its result on the UI thread. The export has fetched the
    // thread's three pictures when it found any.
    WordBuildResult build(const QString &folder, const QString &title, int target, bool picturesFound,
                          QStringList *stages = nullptr, int fetched = -1)
    {
        WordBuildResult result;
        bool done = false;
        bool onUiThread = false;
        BuildWordDocument(
            folder, m_html, title, target, picturesFound, fetched >= 0 ? fetched : picturesFound ? 3 : 0,
            [&](const WordBuildResult &r) {
                result = r;
                onUiThread = QThread::currentThread() == qApp->thread();
                done = true;
            },
            [&](const QString &stage) {
                if (stages)
                    *stages << stage;
            });
        if (!QTest::qWaitFor([&] { return done; }, 120000))
            qFatal("the office phase did not finish");
        if (!onUiThread)
            qFatal("the result was not delivered on the UI thread");
        return result;
    }

    QString picturesFolder() const { return m_folder + QStringLiteral("Pictures"); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        m_folder = m_tmp.filePath(QStringLiteral("Export Über Holz")) + QLatin1Char('/');
        const QString pictures = picturesFolder() + QLatin1Char('/');
        QVERIFY(threadhtml::writePicture(pictures + QStringLiteral("Hobelbank_01.png"), kWide, Qt::darkGreen));
        QVERIFY(threadhtml::writePicture(pictures + QStringLiteral("Hobelbank_02.png"), kEdge, Qt::darkBlue));
        QVERIFY(threadhtml::writePicture(pictures + QStringLiteral("Hobelbank_03.png"), kSmall, Qt::darkRed));

        // One picture by absolute path, one by file URL: the export may write either.
        m_html = m_tmp.filePath(QStringLiteral("Programm Ä/Temp.html"));
        QVERIFY(QDir().mkpath(QFileInfo(m_html).absolutePath()));
        QVERIFY(threadhtml::write(
            m_html, QStringLiteral("Hobelbank Über"),
            {{QStringLiteral("Re: Hobelbank"), {kText, QStringLiteral("Zweite Zeile")},
              {pictures + QStringLiteral("Hobelbank_01.png"),
               QUrl::fromLocalFile(pictures + QStringLiteral("Hobelbank_02.png")).toString(QUrl::FullyEncoded)}},
             {QStringLiteral("Re: Re: Hobelbank"), {QStringLiteral("Noch ein Bild")},
              {pictures + QStringLiteral("Hobelbank_03.png")}}}));

        // The office must open paths with umlauts even when the program runs
        // in the C locale.
        qputenv("LC_ALL", "C");
        m_options = word::OfficeOptions::defaults();
        m_options.pipeName = QStringLiteral("tarnvik_test_%1").arg(QCoreApplication::applicationPid());
        m_options.profileFolder = m_tmp.filePath(QStringLiteral("profile"));
        m_options.headless = true;
        m_options.startTimeoutMs = 90000;
        word::setOfficeOptions(m_options);
    }

    void cleanupTestCase()
    {
        // The office the suite started, should a failing test have left it.
        // The profile goes with the temporary folder once the office is gone.
        QVERIFY(readback::quitOffice(m_options.pipeName));
    }

    void documentFileName_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("file");
        QTest::newRow("new document") << "Hobelbank Über" << 0 << "/e/Hobelbank Über.doc";
        QTest::newRow("insertion") << "Hobelbank" << 2 << "/e/Temp.doc";
        QTest::newRow("insertion ignores the title") << "../x" << 1 << "/e/Temp.doc";
        // Which titles name a file is toValidFileName's to decide (tested
        // with the export's file names); one refused title here.
        QTest::newRow("climbs out") << "../../etc/x" << 0 << "";
    }
    void documentFileName()
    {
        QFETCH(QString, title);
        QFETCH(int, target);
        QFETCH(QString, file);
        QCOMPARE(word::documentFilePath(QStringLiteral("/e/"), title, target), file);
        // A relative folder would put the document wherever the program runs.
        QVERIFY(word::documentFilePath(QStringLiteral("e/"), title, target).isEmpty());
    }

    // The office's pipe belongs to one desktop session of the user.
    void sessionPipeName_data()
    {
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<bool>("same");
        const QStringList desktop{"XDG_SESSION_ID=3", "DISPLAY=:0", "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus"};
        QTest::newRow("the same session") << desktop << desktop << true;
        QTest::newRow("a second display") << desktop << QStringList{"XDG_SESSION_ID=5", "DISPLAY=:1"} << false;
        QTest::newRow("the next login on the display")
            << desktop << QStringList{"XDG_SESSION_ID=4", "DISPLAY=:0", "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus"}
            << false;
        QTest::newRow("a wayland session") << QStringList{"WAYLAND_DISPLAY=wayland-0"} << QStringList{"WAYLAND_DISPLAY=wayland-1"}
                                           << false;
        QTest::newRow("no session") << QStringList{"HOME=/root"} << QStringList{"LANG=C"} << true;
    }
    void sessionPipeName()
    {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QFETCH(bool, same);
        const auto pipe = [](const QStringList &variables) {
            QProcessEnvironment environment;
            for (const QString &variable : variables)
                environment.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
            return word::sessionPipeName(QStringLiteral("1000"), environment);
        };
        QCOMPARE(pipe(first) == pipe(second), same);
        QVERIFY(pipe(first).startsWith(QStringLiteral("tarnvik_1000")));
        QVERIFY(pipe(first).size() <= 32); // the office makes a socket path of it
    }

    void pictureWidthLimit_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("narrowed");
        QTest::newRow("20 cm") << QSize(20000, 10000) << QSize(17500, 8750);
        QTest::newRow("exactly 17.5 cm") << QSize(17500, 9000) << QSize(17500, 9000);
        QTest::newRow("just wider") << QSize(17501, 3001) << QSize(17500, 3001);
        QTest::newRow("small") << QSize(3175, 2117) << QSize(3175, 2117);
    }
    void pictureWidthLimit()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, narrowed);
        QCOMPARE(word::narrowedPictureSize(size), narrowed);
    }

    void anOfficeHungOnItsWayOutIsEnded()
    {
        // A launcher and its child, both named by the pipe the way the office
        // is, both waiting for a line that never comes.
        const QString pipe = QStringLiteral("tarnvik_hung_%1").arg(QCoreApplication::applicationPid());
        const QString named = QStringLiteral("pipe,name=%1;urp").arg(pipe);
        QProcess launcher;
        launcher.start(QStringLiteral("sh"),
                       {QStringLiteral("-c"),
                        QStringLiteral("exec 3<&0; sh -c 'read x' \"$0\" <&3 & read x"), named});
        QVERIFY(launcher.waitForStarted());
        QTRY_COMPARE(word::officeProcesses(pipe, launcher.processId()).size(), 2);
        QVERIFY(word::officeProcesses(pipe, 1).isEmpty()); // not the children of another

        QVERIFY(word::endOfficeProcesses(pipe, launcher.processId(), 200));
        QVERIFY(launcher.waitForFinished(5000));
        QVERIFY(word::officeProcesses(pipe).isEmpty());
    }

    // An office on the program's pipe counts only when it runs in this
    // desktop session: a stand-in office listens on a pipe, started from
    // this session or from another one.
    void anOfficeOfAnotherSessionIsNotUsed_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("ours");
        QTest::newRow("this session") << qEnvironmentVariable("DISPLAY") << true;
        QTest::newRow("another session") << QStringLiteral(":77") << false;
    }
    void anOfficeOfAnotherSessionIsNotUsed()
    {
        QFETCH(QString, display);
        QFETCH(bool, ours);
        const QString pipe = QStringLiteral("tarnvik_session_%1").arg(QCoreApplication::applicationPid());
        const QString socket = QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(::getuid()).arg(pipe);
        QProcess office;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display);
        office.setProcessEnvironment(environment);
        office.start(QStringLiteral("bash"),
                     {QStringLiteral("-c"), QStringLiteral("exec -a soffice.bin \"$0\" --stand-in-office \"$1\""),
                      QCoreApplication::applicationFilePath(), socket});
        const auto stop = qScopeGuard([&] {
            office.kill();
            office.waitForFinished();
            QFile::remove(socket);
        });
        QVERIFY(office.waitForReadyRead(10000));
        QCOMPARE(word::officeInThisSession(pipe), ours);
    }

    void noOfficeGivesAMessageAndKeepsTheFiles()
    {
        QVERIFY(word::isAvailable());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(ListOpenDocuments().isEmpty()); // nothing listens on the suite's pipe yet
        QVERIFY2(clock.elapsed() < 2000, "listing without an office must be quick");

        word::OfficeOptions missing = m_options;
        missing.program = m_tmp.filePath(QStringLiteral("no-office/soffice"));
        word::setOfficeOptions(missing);
        const WordBuildResult result = build(m_folder, QStringLiteral("Hobelbank"), 0, true);
        word::setOfficeOptions(m_options);
        QVERIFY(!result.ok);
        QVERIFY(result.officeMissing);
        QCOMPARE(result.error, word::unavailableMessage());
        QVERIFY(QFile::exists(m_html));
        QVERIFY(QFile::exists(picturesFolder() + QStringLiteral("/Hobelbank_01.png")));
        QVERIFY(!QFile::exists(m_folder + QStringLiteral("Hobelbank.doc")));

        const WordBuildResult refused = build(m_folder, QStringLiteral("../Hobelbank"), 0, true);
        QVERIFY(!refused.ok);
        QVERIFY(!refused.error.isEmpty());
        QVERIFY(!QFile::exists(m_tmp.filePath(QStringLiteral("Hobelbank.doc"))));
    }

    void newDocumentIsFormattedWithPicturesEmbedded()
    {
        QStringList stages;
        const WordBuildResult result = build(m_folder, QStringLiteral("Hobelbank Über"), 0, true, &stages);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.documentFile, m_folder + QStringLiteral("Hobelbank Über.doc"));
        QVERIFY(QFile::exists(result.documentFile));
        QVERIFY(stages.contains(QStringLiteral("Dokument wird formatiert…")));

        // The office stays open with the new document, in print layout.
        QCOMPARE(ListOpenDocuments(), QStringList{QStringLiteral("Hobelbank Über.doc")});
        const Reference<css::frame::XModel> open = openModel(result.documentFile);
        QVERIFY(open.is());
        const Reference<css::view::XViewSettingsSupplier> view(open->getCurrentController(), UNO_QUERY_THROW);
        QCOMPARE(view->getViewSettings()->getPropertyValue("ShowOnlineLayout").get<bool>(), false);

        // What the HTML import gives before any formatting.
        const Reference<css::frame::XModel> plain = load(m_html, "HTML (StarWriter)");
        QVERIFY(plain.is());
        const QList<Paragraph> before = paragraphs(plain);
        const QList<Picture> importedPictures = pictures(plain);
        close(plain);
        QVERIFY(before.size() >= 5);
        QVERIFY2(before[1].left > 0 && before[3].left > 0, "the test needs indented paragraphs 2 and 4");
        QCOMPARE(importedPictures.size(), 3);
        QVERIFY2(near(importedPictures[0].size, officeSize(kWide)), describe(importedPictures));
        QVERIFY(importedPictures[0].linked);

        const PicturesAway away(picturesFolder());
        const Reference<css::frame::XModel> saved = loadCopy(result.documentFile);
        QVERIFY(saved.is());
        const QList<QList<int>> pageMargins = margins(saved);
        QVERIFY(!pageMargins.isEmpty());
        for (const QList<int> &m : pageMargins)
            QCOMPARE(m, (QList<int>{2000, 2000, 2000, 2000}));

        const QList<Paragraph> after = paragraphs(saved);
        QCOMPARE(after.size(), before.size());
        for (int k = 0; k < 2; ++k) {
            QCOMPARE(after[k].left, before[k].left);
            QCOMPARE(after[k].right, before[k].right);
        }
        for (int k = 2; k < after.size(); ++k) {
            QCOMPARE(after[k].left, 0);
            QCOMPARE(after[k].right, 0);
        }
        QCOMPARE(after[0].text, QStringLiteral("Hobelbank Über"));
        QVERIFY2(after[3].text.startsWith(kText + QLatin1Char('\n')), qPrintable(after[3].text));

        const QList<Picture> embedded = pictures(saved);
        close(saved);
        QCOMPARE(embedded.size(), 3);
        for (const Picture &p : embedded)
            QVERIFY2(!p.linked, describe(embedded));
        QCOMPARE(embedded[0].pixel, kWide);
        QCOMPARE(embedded[1].pixel, kEdge);
        QCOMPARE(embedded[2].pixel, kSmall);
        QVERIFY2(near(embedded[0].size, QSize(17500, 8750), 10), describe(embedded));
        QVERIFY2(near(embedded[1].size, officeSize(kEdge), 10), describe(embedded)); // the ".doc" keeps sizes to 0.1 mm
        QVERIFY2(near(embedded[2].size, officeSize(kSmall), 10), describe(embedded));
    }

    void exportAgainReplacesTheUnchangedEarlierDocument()
    {
        // The earlier export is still open in the office, unchanged.
        QCOMPARE(ListOpenDocuments(), QStringList{QStringLiteral("Hobelbank Über.doc")});
        const WordBuildResult again = build(m_folder, QStringLiteral("Hobelbank Über"), 0, true);
        QVERIFY2(again.ok, qPrintable(again.error));
        QCOMPARE(ListOpenDocuments(), QStringList{QStringLiteral("Hobelbank Über.doc")});

        // With changes of the user's in it, it stays, and the export fails.
        const Reference<css::frame::XModel> open = openModel(again.documentFile);
        QVERIFY(open.is());
        Reference<css::util::XModifiable>(open, UNO_QUERY_THROW)->setModified(true);
        const WordBuildResult refused = build(m_folder, QStringLiteral("Hobelbank Über"), 0, true);
        QVERIFY(!refused.ok);
        QVERIFY2(refused.error.contains(QStringLiteral("Hobelbank Über.doc")), qPrintable(refused.error));
        QCOMPARE(ListOpenDocuments(), QStringList{QStringLiteral("Hobelbank Über.doc")});
        QVERIFY(Reference<css::util::XModifiable>(open, UNO_QUERY_THROW)->isModified());
        closeAll();
    }

    // A save that fails or falls short leaves the earlier document as it
    // was and nothing of its own: on a full disk (a small file system where
    // the suite may mount one), and when the document would hold fewer
    // pictures than the export fetched.
    void aFailedSaveKeepsTheEarlierDocument_data()
    {
        QTest::addColumn<bool>("fullDisk");
        QTest::addColumn<QString>("message");
        QTest::newRow("full disk") << true << QStringLiteral("Das Dokument konnte nicht gespeichert werden: kein Platz auf dem Datenträger.");
        QTest::newRow("a picture short") << false << QStringLiteral("Das Dokument konnte nicht gespeichert werden: Es enthielt nur 3 von 4 Bildern.");
    }
    void aFailedSaveKeepsTheEarlierDocument()
    {
        QFETCH(bool, fullDisk);
        QFETCH(QString, message);
        const QString folder = m_tmp.filePath(fullDisk ? QStringLiteral("Voll") : QStringLiteral("Kurz")) + QLatin1Char('/');
        QVERIFY(QDir().mkpath(folder));
        if (fullDisk) {
            if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                            QStringLiteral("size=256k"), QStringLiteral("tmpfs"), folder}) != 0)
                QSKIP("no small file system can be mounted here");
        }
        const auto unmount = qScopeGuard([&] {
            if (fullDisk)
                QProcess::execute(QStringLiteral("umount"), {folder});
        });
        const QByteArray earlier(3000, 'e');
        QFile file(folder + QStringLiteral("Hobelbank.doc"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
        file.close();
        if (fullDisk) {
            // All but a few blocks taken.
            QFile filler(folder + QStringLiteral("filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'f');
            while (QStorageInfo(folder).bytesAvailable() > 3 * block.size())
                QVERIFY(filler.write(block) == block.size() && filler.flush());
        }

        const WordBuildResult result = build(folder, QStringLiteral("Hobelbank"), 0, true, nullptr, fullDisk ? 3 : 4);
        QVERIFY(!result.ok);
        QVERIFY(result.saveFailed);
        QCOMPARE(result.error, message);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), earlier);
        file.close();
        QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        left.removeOne(QStringLiteral("filler"));
        QCOMPARE(left, QStringList{QStringLiteral("Hobelbank.doc")});
        QVERIFY(!ListOpenDocuments().contains(QStringLiteral("Hobelbank.doc")));
    }

    void exportWithoutPicturesLeavesThemAlone()
    {
        const WordBuildResult result = build(m_folder, QStringLiteral("Ohne Bilder"), 0, false);
        QVERIFY2(result.ok, qPrintable(result.error));
        const Reference<css::frame::XModel> saved = loadCopy(result.documentFile);
        QVERIFY(saved.is());
        const QList<Picture> kept = pictures(saved);
        QCOMPARE(margins(saved).first(), (QList<int>{2000, 2000, 2000, 2000}));
        close(saved);
        QCOMPARE(kept.size(), 3);
        QVERIFY2(kept[0].linked, describe(kept));
        QVERIFY2(near(kept[0].size, officeSize(kWide)), describe(kept));
        closeAll();
    }

    void insertsAtTheEndOfTheSecondOpenDocument()
    {
        // Two documents the user has open, in this order.
        QVERIFY2(desktop().is(), "the office went away");
        QStringList files;
        for (const QStringList &text : {QStringList{QStringLiteral("Erstes Dokument")},
                                        QStringList{QStringLiteral("Anfang"), QStringLiteral("Ende")}}) {
            const Reference<css::frame::XModel> doc(
                desktop()->loadComponentFromURL("private:factory/swriter", "_blank", 0,
                                                properties({{"Hidden", Any(true)}})),
                UNO_QUERY_THROW);
            const Reference<css::text::XText> body = Reference<css::text::XTextDocument>(doc, UNO_QUERY_THROW)->getText();
            const Reference<css::text::XTextRange> cursor(body->createTextCursor(), UNO_QUERY_THROW);
            for (int i = 0; i < text.size(); ++i) {
                if (i > 0)
                    body->insertControlCharacter(cursor, css::text::ControlCharacter::PARAGRAPH_BREAK, false);
                body->insertString(cursor, toOUString(text[i]), false);
            }
            files << m_folder + (files.isEmpty() ? QStringLiteral("Erstes.odt") : QStringLiteral("Zweites.odt"));
            Reference<css::frame::XStorable>(doc, UNO_QUERY_THROW)
                ->storeAsURL(fileUrl(files.last()), properties({{"FilterName", Any(OUString("writer8"))}}));
        }
        const QStringList open{QStringLiteral("Erstes.odt"), QStringLiteral("Zweites.odt")};
        QCOMPARE(ListOpenDocuments(), open);
        const QDateTime firstSaved = QFileInfo(files[0]).lastModified();

        const WordBuildResult result = build(m_folder, QStringLiteral("Hobelbank"), 2, true);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.documentFile, m_folder + QStringLiteral("Temp.doc"));
        QVERIFY(QFile::exists(result.documentFile));
        QCOMPARE(ListOpenDocuments(), open); // the working copy is closed
        QCOMPARE(QFileInfo(files[0]).lastModified(), firstSaved);

        const PicturesAway away(picturesFolder());
        const Reference<css::frame::XModel> saved = loadCopy(files[1]);
        QVERIFY(saved.is());
        const QList<Paragraph> text = paragraphs(saved);
        const QList<Picture> inserted = pictures(saved);
        close(saved);
        QVERIFY(text.size() >= 4);
        QCOMPARE(text[0].text, QStringLiteral("Anfang"));
        QCOMPARE(text[1].text, QStringLiteral("Ende"));
        QCOMPARE(text[2].text, QStringLiteral("Hobelbank Über")); // a paragraph of its own, none empty between
        QCOMPARE(inserted.size(), 3);
        for (const Picture &p : inserted)
            QVERIFY2(!p.linked && !p.pixel.isEmpty(), describe(inserted));
    }

    void failureClosesOnlyItsOwnDocument()
    {
        // The user's two documents from before are open; saving fails.
        const QStringList open = ListOpenDocuments();
        QCOMPARE(open.size(), 2);
        QFile blocker(m_tmp.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString unwritable = blocker.fileName() + QStringLiteral("/Export/");
        const WordBuildResult failed = build(unwritable, QStringLiteral("Hobelbank"), 0, true);
        QVERIFY(!failed.ok);
        QVERIFY(!failed.error.isEmpty());
        QCOMPARE(ListOpenDocuments(), open);

        // The documents changed since the user chose one: nothing is inserted.
        const QString second = m_folder + QStringLiteral("Zweites.odt");
        const QDateTime secondSaved = QFileInfo(second).lastModified();
        close(openModel(m_folder + QStringLiteral("Erstes.odt")));
        const WordBuildResult moved = build(m_folder, QStringLiteral("Hobelbank"), 1, true);
        QVERIFY(!moved.ok);
        QVERIFY2(moved.error.contains(QStringLiteral("Erstes.odt")), qPrintable(moved.error));
        QCOMPARE(QFileInfo(second).lastModified(), secondSaved);
        QVERIFY(!Reference<css::util::XModifiable>(openModel(second), UNO_QUERY_THROW)->isModified());

        // Holding nothing else, the office the program started is quit.
        closeAll();
        QVERIFY(!build(unwritable, QStringLiteral("Hobelbank"), 0, true).ok);
        QTRY_VERIFY_WITH_TIMEOUT(!resolveOffice(m_options.pipeName).is(), 10000);
        QVERIFY(word::officeProcesses(m_options.pipeName).isEmpty());
        QVERIFY(ListOpenDocuments().isEmpty());
    }

    // The office the program started is killed while it shows the new
    // document: the lock file it leaves beside it goes, so that the document
    // does not count as open elsewhere.
    void aKilledOfficeLeavesNoLockBehind()
    {
        const WordBuildResult result = build(m_folder, QStringLiteral("Hobelbank"), 0, true);
        QVERIFY2(result.ok, qPrintable(result.error));
        const QString lock = word::documentLockFile(result.documentFile);
        QTRY_VERIFY(QFile::exists(lock));
        for (const qint64 pid : word::officeProcesses(m_options.pipeName))
            ::kill(pid_t(pid), SIGKILL);
        QTRY_VERIFY(word::officeProcesses(m_options.pipeName).isEmpty());
        QVERIFY(QFile::exists(lock));
        QVERIFY(ListOpenDocuments().isEmpty());
        QVERIFY(!QFile::exists(lock));
        QFile::remove(QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(::getuid()).arg(m_options.pipeName));
    }
};

int main(int argc, char *argv[])
{
    // The stand-in office of the session test: listens on a socket until its
    // input ends.
    if (argc == 3 && qstrcmp(argv[1], "--stand-in-office") == 0) {
        QCoreApplication app(argc, argv);
        QLocalServer server;
        if (!server.listen(QString::fromLocal8Bit(argv[2])))
            return 1;
        std::puts("listening");
        std::fflush(stdout);
        QFile input;
        if (input.open(stdin, QIODevice::ReadOnly))
            input.readAll();
        return 0;
    }
    QCoreApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true); // as QTEST_GUILESS_MAIN: the pictures' density counts
    TestWord test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_word.moc"
