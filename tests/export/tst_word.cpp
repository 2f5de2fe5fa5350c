// The office phase of the export against a real LibreOffice: one headless
// office with a profile of its own for the whole suite, started by the first
// build. The saved documents are checked by opening copies of them in that
// office, with the pictures folder moved away.

#include "export/OfficeUno.h"
#include "export/ThreadHtml.h"
#include "export/WordConnection.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/style/XStyle.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/ControlCharacter.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextGraphicObjectsSupplier.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/view/XViewSettingsSupplier.hpp>

using namespace tarnvik::office;
using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;
namespace word = tarnvik::word;

namespace {

struct Paragraph {
    int left = 0;
    int right = 0;
    QString text;
};

struct Picture {
    QSize size;  // 1/100 mm
    QSize pixel; // 0 x 0 for a missing linked file
    bool linked = true;
};

// The pictures of the suite's thread in pixels: 756 px are 20.0 cm in the
// office; 661 px (17.49 cm) is the widest that stays as it is.
const QSize kWide(756, 378), kEdge(661, 283), kSmall(120, 80);
const QString kText = QStringLiteral("Grüße aus Köln, Maß 5 € – Łódź");

QSize officeSize(QSize pixels) // 15 twips per pixel, as the HTML import sizes them
{
    return QSize(qRound(pixels.width() * 2540.0 / 96), qRound(pixels.height() * 2540.0 / 96));
}

bool near(QSize a, QSize b, int tolerance = 3)
{
    return qAbs(a.width() - b.width()) <= tolerance && qAbs(a.height() - b.height()) <= tolerance;
}

QByteArray describe(const QList<Picture> &pictures)
{
    QStringList out;
    for (const Picture &p : pictures)
        out << QStringLiteral("%1x%2 (%3x%4 px%5)")
                   .arg(p.size.width()).arg(p.size.height()).arg(p.pixel.width()).arg(p.pixel.height())
                   .arg(p.linked ? QStringLiteral(", linked") : QString());
    return out.join(QStringLiteral("; ")).toUtf8();
}

} // namespace

class TestWord : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_folder; // the export folder, with a blank and an umlaut
    QString m_html;
    word::OfficeOptions m_options;

    Reference<css::frame::XDesktop2> desktop()
    {
        const Reference<css::uno::XComponentContext> office = resolveOffice(m_options.pipeName);
        return office.is() ? desktopOf(office) : nullptr;
    }

    Reference<css::frame::XModel> load(const QString &file, const char *filter = nullptr)
    {
        auto props = filter ? properties({{"Hidden", Any(true)}, {"FilterName", Any(OUString::createFromAscii(filter))}})
                            : properties({{"Hidden", Any(true)}});
        const Reference<css::frame::XDesktop2> office = desktop();
        if (!office.is())
            return nullptr;
        return Reference<css::frame::XModel>(office->loadComponentFromURL(fileUrl(file), "_blank", 0, props),
                                             UNO_QUERY);
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

    // A copy of a saved document, opened on its own so that the office's
    // open original stays as it is.
    Reference<css::frame::XModel> loadCopy(const QString &file)
    {
        const QString copy = m_tmp.filePath(QStringLiteral("check-") + QFileInfo(file).fileName());
        QFile::remove(copy);
        if (!QFile::copy(file, copy))
            return nullptr;
        return load(copy);
    }

    static void close(const Reference<css::frame::XModel> &model)
    {
        if (model.is())
            Reference<css::util::XCloseable>(model, UNO_QUERY_THROW)->close(true);
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

    static QList<Paragraph> paragraphs(const Reference<css::frame::XModel> &model)
    {
        QList<Paragraph> out;
        const Reference<css::container::XEnumerationAccess> body(
            Reference<css::text::XTextDocument>(model, UNO_QUERY_THROW)->getText(), UNO_QUERY_THROW);
        const Reference<css::container::XEnumeration> e = body->createEnumeration();
        while (e->hasMoreElements()) {
            const Reference<css::lang::XServiceInfo> info(e->nextElement(), UNO_QUERY_THROW);
            if (!info->supportsService("com.sun.star.text.Paragraph"))
                continue;
            const Reference<css::beans::XPropertySet> props(info, UNO_QUERY_THROW);
            Paragraph p;
            props->getPropertyValue("ParaLeftMargin") >>= p.left;
            props->getPropertyValue("ParaRightMargin") >>= p.right;
            p.text = toQString(Reference<css::text::XTextRange>(info, UNO_QUERY_THROW)->getString());
            out << p;
        }
        return out;
    }

    static QList<Picture> pictures(const Reference<css::frame::XModel> &model)
    {
        QList<Picture> out;
        const Reference<css::container::XIndexAccess> all(
            Reference<css::text::XTextGraphicObjectsSupplier>(model, UNO_QUERY_THROW)->getGraphicObjects(),
            UNO_QUERY_THROW);
        for (sal_Int32 i = 0; i < all->getCount(); ++i) {
            const Reference<css::beans::XPropertySet> object(all->getByIndex(i), UNO_QUERY_THROW);
            css::awt::Size size;
            object->getPropertyValue("Size") >>= size;
            Reference<css::graphic::XGraphic> graphic;
            object->getPropertyValue("Graphic") >>= graphic;
            Picture p;
            p.size = QSize(size.Width, size.Height);
            if (const Reference<css::beans::XPropertySet> g(graphic, UNO_QUERY); g.is()) {
                css::awt::Size pixel;
                g->getPropertyValue("SizePixel") >>= pixel;
                g->getPropertyValue("Linked") >>= p.linked;
                p.pixel = QSize(pixel.Width, pixel.Height);
            }
            out << p;
        }
        return out;
    }

    // Top, bottom, left and right margin of every page style in use.
    static QList<QList<int>> margins(const Reference<css::frame::XModel> &model)
    {
        QList<QList<int>> out;
        const Reference<css::container::XNameAccess> styles(
            Reference<css::style::XStyleFamiliesSupplier>(model, UNO_QUERY_THROW)
                ->getStyleFamilies()
                ->getByName("PageStyles"),
            UNO_QUERY_THROW);
        for (const OUString &name : styles->getElementNames()) {
            const Reference<css::style::XStyle> style(styles->getByName(name), UNO_QUERY_THROW);
            if (!style->isInUse())
                continue;
            const Reference<css::beans::XPropertySet> props(style, UNO_QUERY_THROW);
            QList<int> m;
            for (const char *side : {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"})
                m << props->getPropertyValue(OUString::createFromAscii(side)).get<sal_Int32>();
            out << m;
        }
        return out;
    }

    // Runs the office phase as the export does, off the UI thread, and
    // waits for its result on the UI thread.
    WordBuildResult build(const QString &folder, const QString &title, int target, bool picturesFound,
                          QStringList *stages = nullptr)
    {
        WordBuildResult result;
        bool done = false;
        bool onUiThread = false;
        word::buildDocumentIn(
            folder, m_html, title, target, picturesFound,
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

    // Moves the pictures away for as long as it lives, so that only what
    // the document holds itself can show.
    struct PicturesAway {
        QString from, to;
        PicturesAway(const QString &folder) : from(folder), to(folder + QStringLiteral(".away"))
        {
            QDir().rename(from, to);
        }
        ~PicturesAway() { QDir().rename(to, from); }
    };

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
        try {
            if (const auto d = desktop(); d.is())
                d->terminate();
        } catch (...) {
        }
        // The profile goes with the temporary folder once the office is gone.
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(m_options.profileFolder + QStringLiteral("/.lock")), 15000);
    }

    void documentFileName_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("file");
        QTest::newRow("new document") << "Hobelbank Über" << 0 << "/e/Hobelbank Über.doc";
        QTest::newRow("insertion") << "Hobelbank" << 2 << "/e/Temp.doc";
        QTest::newRow("insertion ignores the title") << "../x" << 1 << "/e/Temp.doc";
        QTest::newRow("separator") << "a/b" << 0 << "";
        QTest::newRow("climbs out") << "../../etc/x" << 0 << "";
        QTest::newRow("backslash") << "a\\b" << 0 << "";
        QTest::newRow("only dots") << ".." << 0 << "";
        QTest::newRow("control character") << "a\tb" << 0 << "";
        QTest::newRow("empty") << "" << 0 << "";
        QTest::newRow("dots inside") << "v1..2" << 0 << "/e/v1..2.doc";
    }
    void documentFileName()
    {
        QFETCH(QString, title);
        QFETCH(int, target);
        QFETCH(QString, file);
        QCOMPARE(word::documentFilePath(QStringLiteral("/e/"), title, target), file);
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
        QVERIFY(ListOpenDocuments().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestWord)
#include "tst_word.moc"
