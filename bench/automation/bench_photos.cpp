// Prints how long preparing a 24-megapixel photo for the forum takes next to
// a plain whole decode of the same file with QImageReader, and the process's
// peak memory while preparing (the high-water mark is reset after the photo
// is made, so only the preparation counts).
#include "automation/PhotoPrep.h"
#include "automation/PhotoSamples.h"
#include "BenchUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 9;

// Starts the peak afresh at the present use.
bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString photo = dir.filePath(QStringLiteral("Werkstück.jpg"));
    {
        // As a phone stores it: lying on its side, with a place.
        QImage upright = photosamples::grainyPicture(QSize(6000, 4000), 16);
        QPainter(&upright).fillRect(0, 0, 600, 400, Qt::red);
        if (!photosamples::storedFor(upright, 6).save(photo, "JPEG", 90) || !photosamples::tagPhoto(photo, 6, true))
            return 1;
    }
    const QString out = dir.filePath(QStringLiteral("out"));
    if (!QDir().mkpath(out))
        return 1;

    // One run to load the image plugins first; then the peak of a few
    // preparations alone.
    const auto prepareOnce = [&] {
        QElapsedTimer t;
        t.start();
        const bool ok = tarnvik::photos::prepare(photo, {}, out).ok();
        return ok ? t.nsecsElapsed() / 1e6 : -1.0;
    };
    if (prepareOnce() < 0)
        return 1;
    const bool peakReset = resetPeak();
    for (int i = 0; i < 3; ++i)
        prepareOnce();
    const double peak = peakReset ? peakRssKiB() / 1024.0 : -1;

    // Then both in turn, so that the load of a shared machine falls on both.
    std::vector<double> prepare;
    std::vector<double> full;
    for (int i = 0; i < kRuns; ++i) {
        prepare.push_back(prepareOnce());
        QElapsedTimer t;
        t.start();
        QImageReader reader(photo);
        const QImage image = reader.read();
        full.push_back(t.nsecsElapsed() / 1e6);
        if (image.isNull() || prepare.back() < 0)
            return 1;
    }
    const double prepareMs = median(prepare);
    const double fullMs = median(full);
    std::printf("prepare_ms %.1f\n", prepareMs);
    std::printf("full_decode_ms %.1f\n", fullMs);
    std::printf("ratio %.2f\n", fullMs > 0 ? prepareMs / fullMs : -1);
    std::printf("peak_mb %.1f\n", peak);
    std::printf("photo_mb %.1f\n", QFileInfo(photo).size() / 1e6);
    return 0;
}
