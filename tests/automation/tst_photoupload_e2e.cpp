// Photos chosen in the picture site's file field with the real engine
// against the simulator: the page gets the prepared copy while the window
// keeps answering, the server stores it small, upright and without a place,
// "Original verwenden" hands over the untouched file, bad input is refused
// with a message, and the copies go with the window.
#include "automation/PhotoPrep.h"
#include "automation/PhotoSamples.h"
#include "automation/PicUpload.h"
#include "browser/WebEngineHost.h"
#include "browser/WebPage.h"
#include "common/Fetch.h"
#include "common/ForumSim.h"
#include "common/TestProgram.h"
#include "common/Widgets.h"
#include "state/DModul.h"
#include "state/Endpoints.h"
#include "state/ErrorReport.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QNetworkReply>
#include <QPushButton>
#include <QWebEngineView>
#include <QtTest>

using namespace tarnvik;
using namespace testwidgets;

namespace {
QVariant pageValue(WebEngineHost *host, const QString &script)
{
    QVariant value;
    bool done = false;
    host->view()->page()->runJavaScript(script, [&](const QVariant &v) {
        value = v;
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, 10000);
    return value;
}

// The file field opens its chooser only on a user's click.
void clickFileField(WebEngineHost *host)
{
    const QVariantList centre = pageValue(host, QStringLiteral("var r = document.querySelector('input[type=file]')"
                                                               ".getBoundingClientRect();"
                                                               "[r.left + r.width / 2, r.top + r.height / 2];"))
                                    .toList();
    QTest::mouseClick(host->view()->focusProxy(), Qt::LeftButton, {},
                      QPoint(centre.value(0).toInt(), centre.value(1).toInt()));
}

qint64 chosenBytes(WebEngineHost *host)
{
    const QVariant size = pageValue(
        host, QStringLiteral("var f = document.querySelector('input[type=file]').files; f.length ? f[0].size : -1;"));
    return size.toLongLong();
}

} // namespace

class TestPhotoUploadE2E : public QObject
{
    Q_OBJECT

    ForumSim m_sim;
    TestProgram m_program;
    QStringList m_errors;
    QString m_photo;   // 24 megapixels, lying on its side, with a place
    QString m_chosen;  // what the test's file dialog answers
    int m_ticks = 0;   // a timer's ticks, counted while the window works
    int m_ticksAtChoice = 0;
    TarnvikWebPage::FileChooser m_previousChooser;

    QString program() const { return m_program.filePath(QStringLiteral("prog")); }

    QStringList preparedFolders() const
    {
        return QDir(program()).entryList({QStringLiteral("Bilder-*")}, QDir::Dirs);
    }

    // Chooses `file` in the page's file field; waits for the line under the
    // page to start with `line` (or, for an empty one, for a message).
    bool choose(TfrmPicUpload *window, const QString &file, const QString &line)
    {
        m_chosen = file;
        m_errors.clear();
        clickFileField(static_cast<WebEngineHost *>(window->WebBrowser()));
        if (line.isEmpty())
            return QTest::qWaitFor([this] { return !m_errors.isEmpty(); }, 30000);
        return QTest::qWaitFor([&] { return window->preparedLine().startsWith(line); }, 30000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(program()));
        QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
        setEndpoints({m_sim.host(), m_sim.pictureHost(), QStringLiteral("holzwerkerforum")});
        setErrorReporter([this](const QString &text) { m_errors << text; });
        QVERIFY(m_program.start(ProgramStart().programFolder(program())));

        m_photo = m_program.filePath(QStringLiteral("Werkbank.jpg"));
        using namespace photosamples;
        QImage upright = grainyPicture(QSize(6000, 4000));
        QPainter(&upright).fillRect(0, 0, 600, 400, Qt::red);
        QVERIFY(storedFor(upright, 6).save(m_photo, "JPEG", 90));
        QVERIFY(tagPhoto(m_photo, 6, true));
        m_previousChooser = TarnvikWebPage::setFileChooser([this](QWidget *, bool, const QStringList &) {
            m_ticksAtChoice = m_ticks;
            return QStringList{m_chosen};
        });
    }

    void cleanupTestCase()
    {
        TarnvikWebPage::setFileChooser(m_previousChooser);
        m_program.stop();
    }

    // Bad input gets its message and leaves the field empty; a photo is
    // prepared while the window answers; "Original verwenden" hands over
    // the untouched file; the server stores the prepared one (at most 1 MB,
    // upright, without a place) and its number comes back as before;
    // closing the window removes the copy.
    void photoIsPreparedAndUploaded()
    {
        auto window = std::make_unique<TfrmPicUpload>(nullptr, true);
        QSignalSpy filled(window.get(), &TfrmPicUpload::uploadFormFilled);
        QSignalSpy pictures(window.get(), &TfrmPicUpload::pictureTaken);
        window->show();
        QVERIFY(filled.wait(30000) && filled.first().first().toBool());
        auto *host = static_cast<WebEngineHost *>(window->WebBrowser());

        const QString text = m_program.filePath(QStringLiteral("Notiz.jpg"));
        QFile notes(text);
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("Leinöl, zwei Schichten\n") > 0);
        notes.close();
        QVERIFY(choose(window.get(), text, QString()));
        QVERIFY2(m_errors.first().contains(QStringLiteral("kein Bild")), qPrintable(m_errors.first()));
        QCOMPARE(chosenBytes(host), -1);
        QCOMPARE(window->preparedLine(), QString());

        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [this] { ++m_ticks; });
        ticker.start(10);
        QVERIFY(choose(window.get(), m_photo, QStringLiteral("Bild vorbereitet: 6000 × 4000, ")));
        ticker.stop();
        QVERIFY2(m_ticks - m_ticksAtChoice >= 3, "the window stood still while the photo was prepared");
        QVERIFY2(window->preparedLine().endsWith(QStringLiteral(" → 1600 × 1067, %1; aufgerichtet; Ortsangaben entfernt")
                                                     .arg(photos::fileSizeText(chosenBytes(host)))),
                 qPrintable(window->preparedLine()));
        QVERIFY(host->problemText().isEmpty());
        QCOMPARE(preparedFolders().size(), 1);
        keepScreenshot(window.get(), QStringLiteral("photo-prepared.png"), 500);

        QTest::mouseClick(child<QPushButton>(window.get(), "btnOriginal"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return window->preparedLine().startsWith(QStringLiteral("Original verwendet")); },
                                10000));
        QCOMPARE(chosenBytes(host), QFileInfo(m_photo).size());

        QVERIFY(choose(window.get(), m_photo, QStringLiteral("Bild vorbereitet: ")));
        host->runFormBatch({FormStep::click(4)}, [](const FormBatchResult &) {});
        QVERIFY(pictures.wait(30000));
        const QString number = pictures.first().first().toString();
        QCOMPARE(DM->PicIDs().first(), number);
        const QByteArray stored = fetch(QUrl(pictureAddress(number)));
        QVERIFY(!stored.isEmpty() && stored.size() <= 1000 * 1000);
        const QImage image = QImage::fromData(stored);
        QCOMPARE(image.size(), QSize(1600, 1067));
        QVERIFY(image.pixelColor(20, 20).red() > 200 && image.pixelColor(20, 20).green() < 80);
        auto metadata = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(stored.constData()),
                                                  long(stored.size()));
        metadata->readMetadata();
        QVERIFY(metadata->exifData().empty() && metadata->xmpData().empty());

        window->close();
        window.reset();
        QCOMPARE(preparedFolders(), QStringList());
    }
};

int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    TestPhotoUploadE2E test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_photoupload_e2e.moc"
