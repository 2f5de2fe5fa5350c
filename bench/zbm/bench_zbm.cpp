// bench_zbm [--runs N] [--width W --height H]
//
// For a photo-like and a screenshot-like picture: the file size and the write
// and read times of zbm at each level next to PNG (Qt's writer) and plain
// BMP, and how the zbm reader's throughput compares with zlib inflating the
// same stream straight into an output buffer of the right size. One figure a
// line, "name value", named picture_format_measure:
//   _mib, _percent_of_bmp, _write_ms, _read_ms   for every format;
//   _raw_inflate_ms  zlib alone on the stream;
//   _inflate_ms      the container reader without the BMP decoding;
//   _inflate_speed   raw inflate time / container inflate time (1 = as fast as zlib);
//   _read_speed      raw inflate time / whole ReadData time, BMP decoding included.
// Times are the best of N runs, in milliseconds.

#include "periphery/ZLibBMP.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImageReader>
#include <QImageWriter>

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>

using Level = TZLIBBitmap::TCompressionLevel;

namespace {

struct Rng // xorshift32: fast and the same on every run
{
    quint32 s;
    quint32 next()
    {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    int below(int n) { return int(next() % quint32(n)); }
};

// Smooth gradients with a little sensor noise.
QImage photoLike(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    Rng rng{12345};
    std::vector<float> wave(size_t(w + h));
    for (size_t i = 0; i < wave.size(); ++i)
        wave[i] = 40.0f * std::sin(float(i) * 0.004f);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const float base = wave[size_t(x + y)];
            const quint32 noise = rng.next();
            const int r = int(90 + 120.0f * x / w + base) + int(noise & 15) - 8;
            const int g = int(60 + 150.0f * y / h - base) + int((noise >> 4) & 15) - 8;
            const int b = int(140 + wave[size_t(y)] + wave[size_t(x)] * 0.5f) + int((noise >> 8) & 15) - 8;
            line[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}

void fill(QImage &image, int x0, int y0, int w, int h, QRgb colour)
{
    const int left = std::max(0, x0), right = std::min(image.width(), x0 + w);
    for (int y = std::max(0, y0); left < right && y < std::min(image.height(), y0 + h); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        std::fill(line + left, line + right, colour);
    }
}

// Flat windows and panels with lines of text-like strokes.
QImage screenshotLike(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(236, 236, 236));
    Rng rng{777};
    const QRgb panels[] = {qRgb(255, 255, 255), qRgb(250, 248, 240), qRgb(230, 238, 250)};
    for (int py = 0; py < h; py += 750) {
        for (int px = 0; px < w; px += 1000) {
            fill(image, px + 10, py + 10, 980, 28, qRgb(60, 90, 150)); // title bar
            fill(image, px + 10, py + 38, 980, 700, panels[rng.below(3)]);
            for (int ty = py + 50; ty < py + 720; ty += 18) {
                int tx = px + 20;
                while (tx < px + 900 + rng.below(80)) {
                    const int letters = 2 + rng.below(9);
                    for (int i = 0; i < letters; ++i, tx += 7) {
                        const int strokes = 1 + rng.below(3);
                        for (int s = 0; s < strokes; ++s) {
                            if (rng.below(2))
                                fill(image, tx + rng.below(5), ty, 1, 10, qRgb(20, 20, 20));
                            else
                                fill(image, tx, ty + rng.below(10), 5, 1, qRgb(20, 20, 20));
                        }
                    }
                    tx += 7;
                }
            }
        }
    }
    return image;
}

double bestMs(int runs, const std::function<void()> &work)
{
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

void require(bool ok, const QString &what)
{
    if (!ok) {
        std::fprintf(stderr, "bench_zbm: %s\n", qPrintable(what));
        std::exit(1);
    }
}

QByteArray writeWith(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    require(writer.write(image), writer.errorString());
    return bytes;
}

void figure(const char *picture, const QString &format, const char *measure, double value)
{
    std::printf("%s_%s_%s %.3f\n", picture, qPrintable(format), measure, value);
}

void row(const char *picture, const QString &format, qsizetype size, qsizetype plainSize, double writeMs,
         double readMs)
{
    figure(picture, format, "mib", size / 1048576.0);
    figure(picture, format, "percent_of_bmp", 100.0 * size / plainSize);
    figure(picture, format, "write_ms", writeMs);
    figure(picture, format, "read_ms", readMs);
}

void benchPicture(const char *name, const QImage &image, int runs)
{
    QByteArray plain;
    QString error;
    const double bmpWrite = bestMs(runs, [&] { require(TZLIBBitmap::EncodePlain(image, plain, error), error); });
    const double bmpRead = bestMs(runs, [&] {
        QBuffer buffer(&plain);
        buffer.open(QIODevice::ReadOnly);
        TZLIBBitmap bitmap;
        require(bitmap.LoadFromStream(buffer), bitmap.ErrorString());
    });
    row(name, QStringLiteral("bmp"), plain.size(), plain.size(), bmpWrite, bmpRead);

    QByteArray png;
    const double pngWrite = bestMs(runs, [&] { png = writeWith(image, "png"); });
    const double pngRead = bestMs(runs, [&] { require(!QImage::fromData(png, "png").isNull(), "png read"); });
    row(name, QStringLiteral("png"), png.size(), plain.size(), pngWrite, pngRead);

    const char *levelNames[] = {"none", "fastest", "default", "max"};
    for (int l = 0; l < 4; ++l) {
        TZLIBBitmap bitmap(image);
        bitmap.SetCompressionLevel(Level(l));
        QByteArray zbm;
        const double write = bestMs(runs, [&] {
            zbm.clear();
            QBuffer buffer(&zbm);
            buffer.open(QIODevice::WriteOnly);
            require(bitmap.WriteData(buffer), bitmap.ErrorString());
        });
        const double read = bestMs(runs, [&] {
            QBuffer buffer(&zbm);
            buffer.open(QIODevice::ReadOnly);
            TZLIBBitmap loaded;
            require(loaded.ReadData(buffer), loaded.ErrorString());
        });
        const double inflateOnly = bestMs(runs, [&] {
            QBuffer buffer(&zbm);
            buffer.open(QIODevice::ReadOnly);
            QByteArray out;
            require(TZLIBBitmap::InflateData(buffer, out, error), error);
        });
        // zlib on its own: the whole stream in memory, one output buffer of the
        // right size (a fresh one, as every reader needs its own).
        QByteArray raw;
        const double rawInflate = bestMs(runs, [&] {
            raw = QByteArray(plain.size(), Qt::Uninitialized);
            uLongf outSize = uLongf(raw.size());
            require(uncompress(reinterpret_cast<Bytef *>(raw.data()), &outSize,
                               reinterpret_cast<const Bytef *>(zbm.constData()) + TZLIBBitmap::HeaderSize,
                               uLong(zbm.size() - TZLIBBitmap::HeaderSize)) == Z_OK
                        && outSize == uLongf(plain.size()),
                    "raw inflate");
        });
        require(raw == plain, "raw inflate differs from the plain BMP");
        const QString format = QStringLiteral("zbm_%1").arg(QLatin1String(levelNames[l]));
        row(name, format, zbm.size(), plain.size(), write, read);
        figure(name, format, "raw_inflate_ms", rawInflate);
        figure(name, format, "inflate_ms", inflateOnly);
        figure(name, format, "inflate_speed", rawInflate / inflateOnly);
        figure(name, format, "read_speed", rawInflate / read);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Runs per figure (best counts)."),
                                        QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption widthOption(QStringLiteral("width"), QStringLiteral("Picture width."),
                                         QStringLiteral("px"), QStringLiteral("4000"));
    const QCommandLineOption heightOption(QStringLiteral("height"), QStringLiteral("Picture height."),
                                          QStringLiteral("px"), QStringLiteral("3000"));
    parser.addOptions({runsOption, widthOption, heightOption});
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());
    const int w = std::clamp(parser.value(widthOption).toInt(), 16, 8000);
    const int h = std::clamp(parser.value(heightOption).toInt(), 16, 8000);
    QImageReader::setAllocationLimit(1024);

    benchPicture("photo", photoLike(w, h), runs);
    benchPicture("screen", screenshotLike(w, h), runs);
    return 0;
}
