// Photos made ready for the forum, on pictures the suite makes itself: every
// orientation ends upright, nothing from the camera stays but the colour
// profile, sizes and bytes stay within the limits, and bad input is refused
// without a file written.
#include "automation/PhotoPrep.h"
#include "automation/PhotoSamples.h"

#include <QColorSpace>
#include <QDir>
#include <QImageReader>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnvik::photos;
using namespace photosamples;

namespace {
bool isRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80;
}

// Sets the frame header's size of a JPEG (the first SOF0).
QByteArray withClaimedSize(QByteArray jpeg, int width, int height)
{
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    if (sof < 0)
        return {};
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    return jpeg;
}

bool writeBytes(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

class TestPhotos : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Makes the sample picture named by a row; empty path when that failed.
    QString sample(const QString &kind)
    {
        const QString file = path(kind + (kind.contains(QLatin1String("png")) ? ".png" : ".jpg"));
        QFile::remove(file);
        bool ok = false;
        if (kind.startsWith(QLatin1String("orientation-"))) {
            const int orientation = kind.mid(12).toInt();
            ok = storedFor(markedPicture(QSize(64, 48)), orientation).save(file, "JPEG", 95)
                 && tagPhoto(file, orientation, false);
        } else if (kind == QLatin1String("gps")) {
            QImage picture = storedFor(markedPicture(QSize(800, 600)), 6);
            picture.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
            picture.setText(QStringLiteral("Description"), QStringLiteral("Werkstatt Hobelhausen"));
            ok = picture.save(file, "JPEG") && tagPhoto(file, 6, true);
        } else if (kind == QLatin1String("cmyk")) {
            ok = writeCmykJpeg(file, QSize(3000, 2000));
        } else if (kind == QLatin1String("grey")) {
            ok = grainyPicture(QSize(2400, 1600)).convertToFormat(QImage::Format_Grayscale8).save(file, "JPEG");
        } else if (kind == QLatin1String("alpha-png")) {
            QImage picture(2000, 1000, QImage::Format_ARGB32);
            picture.fill(Qt::transparent);
            QPainter(&picture).fillRect(500, 250, 1000, 500, QColor(0x8b, 0x5a, 0x2b));
            ok = picture.save(file, "PNG");
        } else if (kind == QLatin1String("screenshot-png")) {
            ok = markedPicture(QSize(800, 600)).save(file, "PNG");
        } else if (kind == QLatin1String("strip")) {
            ok = grainyPicture(QSize(1, 20000)).save(file, "JPEG");
        } else if (kind == QLatin1String("48mp")) {
            ok = storedFor(grainyPicture(QSize(8000, 6000)), 6).save(file, "JPEG", 90) && tagPhoto(file, 6, true);
        } else if (kind == QLatin1String("grainy")) {
            ok = grainyPicture(QSize(1200, 900)).save(file, "JPEG", 95);
        } else if (kind == QLatin1String("truncated")) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            ok = grainyPicture(QSize(800, 600)).save(&buffer, "JPEG") && writeBytes(file, bytes.left(bytes.size() * 3 / 5));
        } else if (kind == QLatin1String("text")) {
            ok = writeBytes(file, "Hobelbank, Buche, 2 m – kein Bild\n");
        } else if (kind == QLatin1String("empty")) {
            ok = writeBytes(file, {});
        } else if (kind == QLatin1String("108mp")) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            ok = markedPicture(QSize(120, 90)).save(&buffer, "JPEG") && writeBytes(file, withClaimedSize(bytes, 12000, 9000));
        } else if (kind == QLatin1String("201mb")) {
            QFile f(file);
            ok = f.open(QIODevice::WriteOnly) && f.resize(200'000'001);
        }
        return ok ? file : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // A whole decode of the 48-megapixel photo (192 MB) is refused under
        // this limit: it passes only at its reduced size.
        QImageReader::setAllocationLimit(64);
    }

    void prepare_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("maxKB");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QSize>("after");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<bool>("unchanged");
        QTest::addColumn<bool>("turned");
        QTest::addColumn<bool>("location");

        for (int o = 1; o <= 8; ++o) {
            QTest::addRow("orientation %d", o) << QStringLiteral("orientation-%1").arg(o) << 1000 << QString()
                                              << QSize(64, 48) << QByteArray("jpeg") << (o == 1) << (o != 1) << false;
        }
        QTest::newRow("turned, gps, camera, thumbnail, comment, profile")
            << "gps" << 1000 << QString() << QSize(800, 600) << QByteArray("jpeg") << false << true << true;
        QTest::newRow("cmyk") << "cmyk" << 1000 << QString() << QSize(1600, 1067) << QByteArray("jpeg") << false
                              << false << false;
        QTest::newRow("greyscale") << "grey" << 1000 << QString() << QSize(1600, 1067) << QByteArray("jpeg") << false
                                   << false << false;
        QTest::newRow("png with alpha") << "alpha-png" << 1000 << QString() << QSize(1600, 800) << QByteArray("png")
                                        << false << false << false;
        QTest::newRow("small screenshot") << "screenshot-png" << 1000 << QString() << QSize(800, 600)
                                          << QByteArray("png") << true << false << false;
        QTest::newRow("1 x 20000 strip") << "strip" << 1000 << QString() << QSize(1, 1600) << QByteArray("jpeg")
                                         << false << false << false;
        QTest::newRow("48 megapixels, turned, gps") << "48mp" << 1000 << QString() << QSize(1600, 1200)
                                                    << QByteArray("jpeg") << false << true << true;
        QTest::newRow("quality lowered to fit") << "grainy" << 400 << QString() << QSize(1200, 900)
                                                << QByteArray("jpeg") << false << false << false;
        QTest::newRow("truncated jpeg") << "truncated" << 1000 << "beschädigt" << QSize() << QByteArray() << false
                                        << false << false;
        QTest::newRow("text named .jpg") << "text" << 1000 << "kein Bild" << QSize() << QByteArray() << false << false
                                         << false;
        QTest::newRow("empty") << "empty" << 1000 << "leer" << QSize() << QByteArray() << false << false << false;
        QTest::newRow("over 100 megapixels") << "108mp" << 1000 << "100 Megapixel" << QSize() << QByteArray() << false
                                             << false << false;
        QTest::newRow("over 200 MB") << "201mb" << 1000 << "200 MB" << QSize() << QByteArray() << false << false
                                     << false;
    }

    void prepare()
    {
        QFETCH(QString, kind);
        QFETCH(int, maxKB);
        QFETCH(QString, error);
        QFETCH(QSize, after);
        QFETCH(QByteArray, format);
        QFETCH(bool, unchanged);
        QFETCH(bool, turned);
        QFETCH(bool, location);

        const QString original = sample(kind);
        QVERIFY(!original.isEmpty());
        QTemporaryDir target(path(QStringLiteral("out-XXXXXX")));
        const Prepared result = tarnvik::photos::prepare(original, Limits{1600, maxKB}, target.path());
        const QStringList written = QDir(target.path()).entryList(QDir::Files | QDir::Hidden);
        if (!error.isEmpty()) {
            QVERIFY2(result.error.contains(error), qPrintable(result.error));
            QVERIFY(result.path.isEmpty());
            QCOMPARE(written, QStringList());
            return;
        }
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.unchanged, unchanged);
        QCOMPARE(result.turned, turned);
        QCOMPARE(result.locationRemoved, location);
        QCOMPARE(result.path == original, unchanged);
        QCOMPARE(written.size(), unchanged ? 0 : 1);
        QCOMPARE(QFileInfo(result.path).size(), result.bytesAfter);
        QVERIFY(result.bytesAfter <= maxKB * 1000);

        QImageReader reader(result.path);
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.transformation(), QImageIOHandler::TransformationNone);
        const QImage image = reader.read();
        QCOMPARE(image.size(), after);
        QCOMPARE(result.sizeAfter, after);

        if (kind.startsWith(QLatin1String("orientation-")) || kind == QLatin1String("gps")) {
            const int w = image.width() - 1, h = image.height() - 1;
            QVERIFY(isRed(image.pixel(2, 2)));
            QVERIFY(!isRed(image.pixel(w - 2, 2)) && !isRed(image.pixel(2, h - 2)) && !isRed(image.pixel(w - 2, h - 2)));
        }
        if (kind == QLatin1String("gps"))
            QCOMPARE(image.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
        if (kind == QLatin1String("grey"))
            QVERIFY(image.isGrayscale());
        if (kind == QLatin1String("alpha-png")) {
            QCOMPARE(qAlpha(image.pixel(10, 10)), 0);
            QCOMPARE(qAlpha(image.pixel(800, 400)), 255);
        }
        if (!unchanged) {
            // Nothing of the camera's: no Exif (position, serial number,
            // thumbnail), no XMP, no IPTC, no comment.
            auto written = Exiv2::ImageFactory::open(QFile::encodeName(result.path).toStdString(), false);
            written->readMetadata();
            QVERIFY(written->exifData().empty());
            QVERIFY(written->xmpData().empty());
            QVERIFY(written->iptcData().empty());
            QVERIFY(written->comment().empty());
            QVERIFY(image.textKeys().isEmpty());
        }
    }

    // A copy that cannot be written is reported; nothing goes to the page.
    void failedWriteIsReported()
    {
        const QString original = sample(QStringLiteral("gps"));
        const QString notAFolder = path(QStringLiteral("kein-ordner"));
        QVERIFY(writeBytes(notAFolder, "x"));
        const Prepared result = tarnvik::photos::prepare(original, Limits{}, notAFolder);
        QVERIFY2(result.error.startsWith(QStringLiteral("Das vorbereitete Bild konnte nicht gespeichert werden")),
                 qPrintable(result.error));
        QVERIFY(result.path.isEmpty());
    }

    // A copy into the original's own folder leaves the original alone.
    void originalStaysUnchanged()
    {
        const QString original = sample(QStringLiteral("gps"));
        const qint64 size = QFileInfo(original).size();
        const Prepared result = tarnvik::photos::prepare(original, Limits{}, m_dir.path());
        QVERIFY2(result.ok(), qPrintable(result.error));
        QVERIFY(result.path != original);
        QCOMPARE(QFileInfo(original).size(), size);
    }

    void limits_data()
    {
        QTest::addColumn<QVariant>("longEdge");
        QTest::addColumn<QVariant>("maxKB");
        QTest::addColumn<int>("expectedEdge");
        QTest::addColumn<int>("expectedKB");
        QTest::newRow("missing") << QVariant() << QVariant() << 1600 << 1000;
        QTest::newRow("set") << QVariant(2048) << QVariant(QStringLiteral(" 500 ")) << 2048 << 500;
        QTest::newRow("unusable") << QVariant(QStringLiteral("groß")) << QVariant(999999999) << 1600 << 1000;
        QTest::newRow("too small") << QVariant(0) << QVariant(-5) << 1600 << 1000;
    }

    void limits()
    {
        QFETCH(QVariant, longEdge);
        QFETCH(QVariant, maxKB);
        QFETCH(int, expectedEdge);
        QFETCH(int, expectedKB);
        const QString file = path(QStringLiteral("Tarnvik.conf"));
        QFile::remove(file);
        QSettings settings(file, QSettings::IniFormat);
        if (longEdge.isValid())
            settings.setValue(QStringLiteral("Bilder/LangeKante"), longEdge);
        if (maxKB.isValid())
            settings.setValue(QStringLiteral("Bilder/MaxKB"), maxKB);
        const Limits limits = limitsFromSettings(settings);
        QCOMPARE(limits.longEdge, expectedEdge);
        QCOMPARE(limits.maxKB, expectedKB);
    }

    void summary_data()
    {
        QTest::addColumn<bool>("unchanged");
        QTest::addColumn<bool>("turned");
        QTest::addColumn<bool>("location");
        QTest::addColumn<qint64>("bytesBefore");
        QTest::addColumn<qint64>("bytesAfter");
        QTest::addColumn<QString>("line");
        QTest::newRow("all done") << false << true << true << qint64(8'400'000) << qint64(412'300)
                                  << QStringLiteral("Bild vorbereitet: 6000 × 4000, 8,4 MB → 1600 × 1067, 412 KB; "
                                                    "aufgerichtet; Ortsangaben entfernt");
        QTest::newRow("only smaller") << false << false << false << qint64(999'499) << qint64(1'000'000)
                                      << QStringLiteral("Bild vorbereitet: 6000 × 4000, 999 KB → 1600 × 1067, 1,0 MB");
        QTest::newRow("unchanged, tiny") << true << false << false << qint64(300) << qint64(300)
                                         << QStringLiteral("Bild unverändert: 6000 × 4000, 1 KB");
    }

    void summary()
    {
        QFETCH(bool, unchanged);
        QFETCH(bool, turned);
        QFETCH(bool, location);
        QFETCH(qint64, bytesBefore);
        QFETCH(qint64, bytesAfter);
        QFETCH(QString, line);
        Prepared prepared;
        prepared.unchanged = unchanged;
        prepared.turned = turned;
        prepared.locationRemoved = location;
        prepared.sizeBefore = QSize(6000, 4000);
        prepared.sizeAfter = QSize(1600, 1067);
        prepared.bytesBefore = bytesBefore;
        prepared.bytesAfter = bytesAfter;
        QCOMPARE(summaryLine(prepared), line);
    }
};

QTEST_GUILESS_MAIN(TestPhotos)
#include "tst_photos.moc"
