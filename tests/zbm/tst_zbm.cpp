#include "common/SequentialDevice.h"
#include "periphery/ZLibBMP.h"
#include "periphery/ZLibBMPRegistration.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using Level = TZLIBBitmap::TCompressionLevel;

namespace {

const QByteArray signature("\xD5ZBM\r\n\x1A\n", 8);

// Odd width, so that BMP rows carry padding.
QImage samplePicture(QImage::Format format = QImage::Format_RGB32)
{
    QImage image(37, 23, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 7, y * 11, (x * y) % 256, 128 + x));
    if (format == QImage::Format_Indexed8 || format == QImage::Format_Mono)
        return image.convertToFormat(format, Qt::ThresholdDither);
    return image.convertToFormat(format);
}

QByteArray plainBytes(const QImage &image)
{
    QByteArray bytes;
    QString error;
    if (!TZLIBBitmap::EncodePlain(image, bytes, error))
        qFatal("%s", qPrintable(error));
    return bytes;
}

// What a plain BMP of the picture reads back as: BMP has no alpha, so this is
// the picture a container must give back too.
QImage viaPlainBmp(const QImage &image)
{
    return QImage::fromData(plainBytes(image), "bmp");
}

QByteArray containerBytes(const QImage &image, Level level = Level::Max)
{
    TZLIBBitmap bitmap(image);
    bitmap.SetCompressionLevel(level);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!bitmap.WriteData(buffer))
        qFatal("%s", qPrintable(bitmap.ErrorString()));
    return buffer.data();
}

// A container around any payload, written without TZLIBBitmap.
QByteArray rawContainer(const QByteArray &payload)
{
    QByteArray length(4, '\0');
    qToLittleEndian<qint32>(qint32(payload.size()), length.data());
    return signature + length + qCompress(payload).mid(4); // qCompress puts a size before the zlib stream
}

qint32 lengthField(const QByteArray &container)
{
    return qFromLittleEndian<qint32>(container.constData() + 8);
}

QByteArray withLength(QByteArray container, qint32 length)
{
    qToLittleEndian<qint32>(length, container.data() + 8);
    return container;
}

// The FLEVEL bits of the zlib header (0 fastest ... 3 maximum).
int zlibLevelBits(const QByteArray &container)
{
    return quint8(container.at(TZLIBBitmap::HeaderSize + 1)) >> 6;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Creates a BMP the way another program would, byte by byte in Python:
// 24 bits per pixel or 8 with a four-colour palette, bottom-up or top-down.
const char *const foreignBmpScript = R"PY(
import struct, sys
w, h, bpp, topdown, path = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4] == '1', sys.argv[5]
palette = [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255)]
rows = []
for y in range(h):
    if bpp == 24:
        row = b''.join(bytes(((x * y * 13) % 256, (y * 60) % 256, (x * 40) % 256)) for x in range(w))
    else:
        row = bytes((x + y) % 4 for x in range(w))
    rows.append(row + b'\0' * (-len(row) % 4))
if not topdown:
    rows.reverse()
pixels = b''.join(rows)
ctab = b''.join(bytes((b, g, r, 0)) for r, g, b in palette) if bpp == 8 else b''
off = 14 + 40 + len(ctab)
head = b'BM' + struct.pack('<IHHI', off + len(pixels), 0, 0, off)
info = struct.pack('<IiiHHIIiiII', 40, w, -h if topdown else h, 1, bpp, 0, len(pixels), 2835, 2835,
                   4 if bpp == 8 else 0, 0)
open(path, 'wb').write(head + info + ctab + pixels)
)PY";

QRgb foreignPixel(int bpp, int x, int y)
{
    static const QRgb palette[] = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    return bpp == 24 ? qRgb((x * 40) % 256, (y * 60) % 256, (x * y * 13) % 256) : palette[(x + y) % 4];
}

} // namespace

class tst_Zbm : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_python;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Runs a Python snippet; false (with the reason logged) if it fails.
    bool python(const QString &script, const QStringList &args)
    {
        QProcess process;
        process.start(m_python, QStringList{QStringLiteral("-c"), script} + args);
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
            || process.exitCode() != 0) {
            qWarning("python: %s", process.readAllStandardError().constData());
            return false;
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        tarnvik::registerZbmFormat();
        m_python = QFile::exists(QStringLiteral("/usr/bin/python3"))
                       ? QStringLiteral("/usr/bin/python3")
                       : QStandardPaths::findExecutable(QStringLiteral("python3"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<Level>("level");
        QTest::addColumn<int>("flevel");

        const struct { const char *name; QImage::Format format; } formats[] = {
            {"rgb32", QImage::Format_RGB32},       {"argb32", QImage::Format_ARGB32},
            {"indexed8", QImage::Format_Indexed8}, {"mono", QImage::Format_Mono},
            {"rgb888", QImage::Format_RGB888},
        };
        // zlib writes its level class into the header: levels 0 and 1 give 0,
        // zlib's default (6) gives 2, level 9 gives 3.
        const struct { const char *name; Level level; int flevel; } levels[] = {
            {"none", Level::None, 0}, {"fastest", Level::Fastest, 0},
            {"default", Level::Default, 2}, {"max", Level::Max, 3},
        };
        for (const auto &f : formats)
            for (const auto &l : levels)
                QTest::addRow("%s %s", f.name, l.name) << f.format << l.level << l.flevel;
    }

    void roundTrip()
    {
        QFETCH(QImage::Format, format);
        QFETCH(Level, level);
        QFETCH(int, flevel);
        const QImage picture = samplePicture(format);
        const QByteArray plain = plainBytes(picture);
        const QByteArray container = containerBytes(picture, level);

        QVERIFY(container.startsWith(signature));
        QCOMPARE(lengthField(container), plain.size());
        QCOMPARE(zlibLevelBits(container), flevel);
        const qsizetype packed = container.size() - TZLIBBitmap::HeaderSize;
        if (level == Level::None)
            QVERIFY(packed > plain.size()); // stored blocks only
        else
            QVERIFY(packed < plain.size());

        for (bool viaLoad : {false, true}) {
            QBuffer buffer;
            buffer.setData(container);
            buffer.open(QIODevice::ReadOnly);
            TZLIBBitmap bitmap;
            QVERIFY2(viaLoad ? bitmap.LoadFromStream(buffer) : bitmap.ReadData(buffer),
                     qPrintable(bitmap.ErrorString()));
            QCOMPARE(QImage(bitmap), viaPlainBmp(picture));
            QVERIFY(buffer.atEnd());
        }
    }

    void saveToFileChoosesLayout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("compressed");
        QTest::newRow(".bmp") << "a.bmp" << false;
        QTest::newRow(".BMP") << "b.BMP" << false;
        QTest::newRow(".bMp") << "c.bMp" << false;
        QTest::newRow("no extension") << "d" << false;
        QTest::newRow("dot only in folder") << "ordner.v2/e" << false;
        QTest::newRow(".zbm.bmp") << "f.zbm.bmp" << false;
        QTest::newRow(".zbm") << "g.zbm" << true;
        QTest::newRow(".ZBM") << "h.ZBM" << true;
        QTest::newRow(".bmp.zbm") << "i.bmp.zbm" << true;
        QTest::newRow("other extension") << "j.png" << true;
        QTest::newRow(".bmpx") << "k.bmpx" << true;
    }

    void saveToFileChoosesLayout()
    {
        QFETCH(QString, name);
        QFETCH(bool, compressed);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("ordner.v2")));
        const QImage picture = samplePicture();

        TZLIBBitmap bitmap(picture);
        bitmap.SetCompressed(!compressed);
        QVERIFY2(bitmap.SaveToFile(path(name)), qPrintable(bitmap.ErrorString()));
        QCOMPARE(bitmap.Compressed(), compressed);

        const QByteArray written = readFile(path(name));
        if (compressed)
            QVERIFY(written.startsWith(signature));
        else
            QCOMPARE(written, plainBytes(picture)); // a BMP any reader takes

        QFile file(path(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        TZLIBBitmap loaded;
        QVERIFY2(loaded.LoadFromStream(file), qPrintable(loaded.ErrorString()));
        QCOMPARE(QImage(loaded), viaPlainBmp(picture));
    }

    void foreignPlainBmpLoads_data()
    {
        QTest::addColumn<int>("bpp");
        QTest::addColumn<bool>("topDown");
        QTest::newRow("24 bit bottom-up") << 24 << false;
        QTest::newRow("24 bit top-down") << 24 << true;
        QTest::newRow("8 bit palette") << 8 << false;
    }

    void foreignPlainBmpLoads()
    {
        QFETCH(int, bpp);
        QFETCH(bool, topDown);
        if (m_python.isEmpty())
            QSKIP("python3 is not installed");
        const QString file = path(QStringLiteral("foreign-%1-%2.bmp").arg(bpp).arg(topDown));
        const int width = 13, height = 7;
        QVERIFY(python(QString::fromLatin1(foreignBmpScript),
                       {QString::number(width), QString::number(height), QString::number(bpp),
                        topDown ? QStringLiteral("1") : QStringLiteral("0"), file}));

        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        TZLIBBitmap bitmap;
        QVERIFY2(bitmap.LoadFromStream(in), qPrintable(bitmap.ErrorString()));
        QCOMPARE(bitmap.size(), QSize(width, height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                QCOMPARE(bitmap.pixel(x, y), foreignPixel(bpp, x, y));
    }

    void imageMagickBmpLoads()
    {
        const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
        if (convert.isEmpty())
            QSKIP("ImageMagick is not installed");
        const QString bmp = path(QStringLiteral("magick.bmp"));
        const QString ppm = path(QStringLiteral("magick.ppm"));
        QProcess process;
        process.start(convert, {QStringLiteral("-size"), QStringLiteral("19x9"),
                                QStringLiteral("gradient:orange-navy"), QStringLiteral("BMP3:") + bmp});
        QVERIFY(process.waitForFinished(30000) && process.exitCode() == 0);
        process.start(convert, {bmp, ppm});
        QVERIFY(process.waitForFinished(30000) && process.exitCode() == 0);

        QFile in(bmp);
        QVERIFY(in.open(QIODevice::ReadOnly));
        TZLIBBitmap bitmap;
        QVERIFY2(bitmap.LoadFromStream(in), qPrintable(bitmap.ErrorString()));
        QCOMPARE(bitmap.convertToFormat(QImage::Format_RGB32),
                 QImage(ppm, "ppm").convertToFormat(QImage::Format_RGB32));
    }

    // An independent zlib (Python's) must inflate our stream to the exact
    // plain BMP, and our reader must take a container Python wrote.
    void pythonPeer_data()
    {
        QTest::addColumn<Level>("level");
        QTest::newRow("none") << Level::None;
        QTest::newRow("fastest") << Level::Fastest;
        QTest::newRow("default") << Level::Default;
        QTest::newRow("max") << Level::Max;
    }

    void pythonPeer()
    {
        QFETCH(Level, level);
        if (m_python.isEmpty())
            QSKIP("python3 is not installed");
        const QImage picture = samplePicture();
        const QString ours = path(QStringLiteral("ours.zbm"));
        const QString inflated = path(QStringLiteral("inflated.bmp"));
        QVERIFY(writeFile(ours, containerBytes(picture, level)));
        QVERIFY(python(QStringLiteral(R"PY(
import struct, sys, zlib
d = open(sys.argv[1], 'rb').read()
assert d[:8] == b'\xd5ZBM\r\n\x1a\n'
n, = struct.unpack('<i', d[8:12])
z = zlib.decompressobj()
out = z.decompress(d[12:])
assert z.eof and not z.unused_data and len(out) == n
open(sys.argv[2], 'wb').write(out)
)PY"),
                       {ours, inflated}));
        QCOMPARE(readFile(inflated), plainBytes(picture));

        const QString theirs = path(QStringLiteral("theirs.zbm"));
        QVERIFY(python(QStringLiteral(R"PY(
import struct, sys, zlib
d = open(sys.argv[1], 'rb').read()
open(sys.argv[2], 'wb').write(b'\xd5ZBM\r\n\x1a\n' + struct.pack('<i', len(d)) + zlib.compress(d, int(sys.argv[3])))
)PY"),
                       {inflated, theirs, QString::number(TZLIBBitmap::zlibLevel(level))}));
        QFile in(theirs);
        QVERIFY(in.open(QIODevice::ReadOnly));
        TZLIBBitmap bitmap;
        QVERIFY2(bitmap.LoadFromStream(in), qPrintable(bitmap.ErrorString()));
        QCOMPARE(QImage(bitmap), viaPlainBmp(picture));
    }

    void hostileContainer_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("error");
        const QByteArray good = containerBytes(samplePicture());
        const qint32 length = lengthField(good);
        QByteArray badSignature = good;
        badSignature[3] = 'X';
        QByteArray badZlibHeader = good;
        badZlibHeader[TZLIBBitmap::HeaderSize] = '\x77';
        QByteArray badChecksum = good;
        badChecksum[good.size() - 1] = char(~good.at(good.size() - 1));

        QTest::newRow("empty") << QByteArray() << "Invalid ZBM signature!";
        QTest::newRow("wrong signature") << badSignature << "Invalid ZBM signature!";
        QTest::newRow("plain BMP") << plainBytes(samplePicture()) << "Invalid ZBM signature!";
        QTest::newRow("signature only") << good.left(8) << "ZBM-Kopf ist unvollständig";
        QTest::newRow("header cut") << good.left(10) << "ZBM-Kopf ist unvollständig";
        QTest::newRow("no stream") << good.left(12) << "enden nach 0 von";
        QTest::newRow("stream cut") << good.left(good.size() / 2) << "enden nach";
        QTest::newRow("damaged zlib header") << badZlibHeader << "beschädigt";
        QTest::newRow("damaged checksum") << badChecksum << "beschädigt";
        QTest::newRow("length one short") << withLength(good, length - 1) << "länger als ihre Längenangabe";
        QTest::newRow("length one long") << withLength(good, length + 1) << "enden nach";
        QTest::newRow("negative length") << withLength(good, -1) << "negativ";
        QTest::newRow("huge length") << withLength(good, 0x7fffffff) << "mehr als die Grenze";
        QTest::newRow("just above limit")
            << withLength(good, qint32(TZLIBBitmap::MaxImageBytes + 1)) << "mehr als die Grenze";
        // Within the limit but far more than the stream holds: must fail on
        // the data without reserving the claimed 200 MiB first.
        QTest::newRow("large claim, small stream") << withLength(good, 200 << 20) << "enden nach";
        QTest::newRow("no BMP inside") << rawContainer("hello") << "kein gültiges BMP";
        // A container holding a container is not unpacked a second time.
        QTest::newRow("nested container") << rawContainer(good) << "kein gültiges BMP";
    }

    void hostileContainer()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, error);
        const QImage before = samplePicture(QImage::Format_Indexed8);

        for (bool sequential : {false, true}) {
            QBuffer buffer;
            buffer.setData(data);
            buffer.open(QIODevice::ReadOnly);
            SequentialDevice pipe(data);
            QIODevice &device = sequential ? static_cast<QIODevice &>(pipe) : buffer;

            TZLIBBitmap bitmap(before);
            QVERIFY(!bitmap.ReadData(device));
            QVERIFY2(bitmap.ErrorString().contains(error), qPrintable(bitmap.ErrorString()));
            QCOMPARE(QImage(bitmap), before); // nothing loaded
        }
    }

    // ReadData leaves the stream right behind its container, so containers
    // can follow each other, on devices that cannot seek back as well.
    void containersInSequence_data()
    {
        QTest::addColumn<bool>("sequential");
        QTest::newRow("buffer") << false;
        QTest::newRow("pipe") << true;
    }

    void containersInSequence()
    {
        QFETCH(bool, sequential);
        const QImage first = samplePicture();
        const QImage second = samplePicture(QImage::Format_Mono);
        const QByteArray data = containerBytes(first, Level::Fastest) + containerBytes(second) + "tail";
        QBuffer buffer;
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        SequentialDevice pipe(data);
        QIODevice &device = sequential ? static_cast<QIODevice &>(pipe) : buffer;

        TZLIBBitmap bitmap;
        QVERIFY2(bitmap.ReadData(device), qPrintable(bitmap.ErrorString()));
        QCOMPARE(QImage(bitmap), viaPlainBmp(first));
        QVERIFY2(bitmap.ReadData(device), qPrintable(bitmap.ErrorString()));
        QCOMPARE(QImage(bitmap), viaPlainBmp(second));
        QCOMPARE(device.readAll(), QByteArray("tail"));
    }

    void imageLoaderKnowsZbm()
    {
        QVERIFY(QImageReader::supportedImageFormats().contains("zbm"));
        QVERIFY(QImageWriter::supportedImageFormats().contains("zbm"));
        QVERIFY(QImageReader::supportedImageFormats().contains("bmp"));
        QCOMPARE(tarnvik::zbmNameFilters(),
                 QStringList({"ZLIB Compressed Bitmap (*.zbm)", "Windows Bitmaps (TZLIBBitmap) (*.bmp)"}));
        const QImage picture = samplePicture();
        const QImage expected = viaPlainBmp(picture);

        // Saving goes by the suffix: the container for ".zbm", Qt's BMP for ".bmp".
        QVERIFY(picture.save(path(QStringLiteral("loader.zbm"))));
        QVERIFY(picture.save(path(QStringLiteral("loader.bmp"))));
        QCOMPARE(readFile(path(QStringLiteral("loader.zbm"))), containerBytes(picture));
        QCOMPARE(readFile(path(QStringLiteral("loader.bmp"))), plainBytes(picture));

        // Reading goes by the content where the name says otherwise.
        QVERIFY(writeFile(path(QStringLiteral("container.bmp")), containerBytes(picture)));
        QVERIFY(writeFile(path(QStringLiteral("container")), containerBytes(picture)));
        QVERIFY(writeFile(path(QStringLiteral("plain.zbm")), plainBytes(picture)));
        for (const char *name : {"loader.zbm", "loader.bmp", "container.bmp", "container", "plain.zbm"}) {
            QImageReader reader(path(QString::fromLatin1(name)));
            QImage loaded;
            QVERIFY2(reader.read(&loaded), name);
            QCOMPARE(loaded, expected);
        }
        QVERIFY(QImage::fromData(containerBytes(picture)) == expected);

        // QImageWriter's compression picks the level.
        for (int level : {0, 1, 2, 3}) {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "zbm");
            writer.setCompression(level);
            QVERIFY(writer.write(picture));
            QCOMPARE(buffer.data(), containerBytes(picture, Level(level)));
        }
    }

    void zbmconv_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QByteArray>("expected"); // start of the output file
        QTest::addColumn<QString>("message");
        const QByteArray bmpStart("BM");
        QTest::newRow("bmp to zbm") << QStringList{"--level", "fastest", "in.bmp", "out.zbm"} << 0
                                    << "out.zbm" << signature << "";
        QTest::newRow("zbm to bmp") << QStringList{"in.zbm", "out.bmp"} << 0 << "out.bmp" << bmpStart << "";
        QTest::newRow("png to zbm") << QStringList{"--level", "0", "in.png", "png.zbm"} << 0 << "png.zbm"
                                    << signature << "";
        QTest::newRow("no extension") << QStringList{"in.zbm", "plain"} << 0 << "plain" << bmpStart << "";
        QTest::newRow("bad level") << QStringList{"--level", "9", "in.bmp", "x.zbm"} << 2 << "x.zbm"
                                   << QByteArray() << "unknown level";
        QTest::newRow("one file") << QStringList{"in.bmp"} << 2 << "" << QByteArray() << "expects";
        QTest::newRow("missing input") << QStringList{"missing.bmp", "y.zbm"} << 1 << "y.zbm" << QByteArray()
                                       << "kann nicht geöffnet werden";
        QTest::newRow("hostile input") << QStringList{"cut.zbm", "z.bmp"} << 1 << "z.bmp" << QByteArray()
                                       << "enden nach";
    }

    void zbmconv()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QByteArray, expected);
        QFETCH(QString, message);
        const QImage picture = samplePicture();
        QVERIFY(writeFile(path(QStringLiteral("in.bmp")), plainBytes(picture)));
        QVERIFY(writeFile(path(QStringLiteral("in.zbm")), containerBytes(picture)));
        QVERIFY(writeFile(path(QStringLiteral("cut.zbm")), containerBytes(picture).left(100)));
        QVERIFY(picture.save(path(QStringLiteral("in.png"))));

        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(ZBMCONV_PATH), args);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), exitCode);
        QVERIFY2(QString::fromLocal8Bit(process.readAllStandardError()).contains(message), qPrintable(message));
        if (output.isEmpty())
            return;
        if (exitCode != 0) {
            QVERIFY(!QFile::exists(path(output))); // no half-written file left behind
            return;
        }
        const QByteArray written = readFile(path(output));
        QVERIFY(written.startsWith(expected));
        QCOMPARE(QImage::fromData(written), viaPlainBmp(picture));
        if (expected == signature)
            QCOMPARE(zlibLevelBits(written), 0);
    }
};

QTEST_GUILESS_MAIN(tst_Zbm)
#include "tst_zbm.moc"
