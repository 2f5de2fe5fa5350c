// bench_word [--runs N] [--messages M] [--pictures P] [--keep FOLDER] [--visible]
//
// Prints the office phase of the export (open the work file, format, embed
// and narrow the pictures, save as ".doc") for a whole thread of M messages
// with P pictures, next to LibreOffice's own conversion of the same HTML
// file ("soffice --headless --convert-to doc"), measured in the same run,
// one figure per line as "name value":
//   office_phase_running_ms  = the phase against an office that already runs,
//   office_phase_started_ms  = the same with the office started first
//                              ("running or new" finding none),
//   convert_to_ms            = one soffice process: start, load, save, exit,
//   *_ratio                  = a phase against convert_to_ms (target <= 1.3),
//   document_kib             = the saved document (the conversion links its
//                              pictures; the phase embeds them).
// Each office has a profile of its own, made by a warm-up run first.
// Times are medians of N runs, in milliseconds. Notes (and with BENCH_STAGES
// set, the stages of each phase) go to the error stream. With --keep the work
// file, pictures and documents stay in FOLDER for a look; with --visible the
// office shows its windows (under a display) and only the phase runs, once.

#include "BenchUtil.h"
#include "export/ThreadHtml.h"
#include "export/OfficeUno.h"
#include "export/WordConnection.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <com/sun/star/frame/XDesktop2.hpp>

#include <algorithm>
#include <cstdio>

namespace word = tarnvik::word;

namespace {

void figure(const char *name, double value)
{
    std::printf("%s %.3f\n", name, value);
}

// A photo-like JPEG, so that the files weigh what forum pictures weigh.
bool writePhoto(const QString &file, QSize size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int n = int(rng.bounded(24));
            line[x] = qRgb((x * 255 / size.width() + n) & 255, (y * 255 / size.height() + n) & 255, (seed * 40 + n) & 255);
        }
    }
    return image.save(file, "JPEG", 85);
}

bool officeGone(const QString &pipe)
{
    return !tarnvik::word::resolveOffice(pipe).is();
}

void quitOffice(const QString &pipe)
{
    try {
        if (const auto office = tarnvik::word::resolveOffice(pipe); office.is())
            tarnvik::word::desktopOf(office)->terminate();
    } catch (...) {
    }
    QElapsedTimer t;
    t.start();
    while (!officeGone(pipe) && t.elapsed() < 20000)
        QThread::msleep(50);
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Runs per figure."), QStringLiteral("N"), QStringLiteral("5")});
    parser.addOption({QStringLiteral("messages"), QStringLiteral("Messages."), QStringLiteral("M"), QStringLiteral("200")});
    parser.addOption({QStringLiteral("pictures"), QStringLiteral("Pictures."), QStringLiteral("P"), QStringLiteral("50")});
    parser.addOption({QStringLiteral("keep"), QStringLiteral("Keep the files in this folder."), QStringLiteral("FOLDER")});
    parser.addOption({QStringLiteral("visible"), QStringLiteral("Show the office's windows; one phase only.")});
    parser.process(app);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    const int messageCount = parser.value(QStringLiteral("messages")).toInt();
    const int pictureCount = parser.value(QStringLiteral("pictures")).toInt();

    if (!word::isAvailable()) {
        std::fprintf(stderr, "word-processor binding not built\n");
        return 0;
    }

    QTemporaryDir tmp(parser.isSet(QStringLiteral("keep")) ? parser.value(QStringLiteral("keep")) + QStringLiteral("/bench-XXXXXX")
                                                             : QDir::tempPath() + QStringLiteral("/bench_word-XXXXXX"));
    tmp.setAutoRemove(!parser.isSet(QStringLiteral("keep")));
    const QString folder = tmp.filePath(QStringLiteral("Export")) + QLatin1Char('/');
    const QString pictures = folder + QStringLiteral("Pictures/");
    QDir().mkpath(pictures);

    // The thread: every fourth message carries a picture, some of them wider
    // than the page.
    QList<threadhtml::Message> messages;
    int picture = 0;
    for (int m = 0; m < messageCount; ++m) {
        threadhtml::Message message;
        message.subject = QStringLiteral("Re: Hobelbank aus Buche (%1)").arg(m + 1);
        for (int l = 0; l < 6; ++l)
            message.lines << QStringLiteral("Zeile %1 der Nachricht %2: Grüße, Maß und 5 € für die Zange.").arg(l + 1).arg(m + 1);
        if (picture < pictureCount && (m % std::max(1, messageCount / std::max(1, pictureCount)) == 0)) {
            ++picture;
            const QString file = pictures + QStringLiteral("Hobelbank_%1.jpg").arg(picture, 2, 10, QLatin1Char('0'));
            const QSize size = picture % 3 == 0 ? QSize(1600, 1200) : QSize(800, 600);
            if (!writePhoto(file, size, quint32(picture))) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                return 1;
            }
            message.images << file;
        }
        messages << message;
    }
    const QString html = tmp.filePath(QStringLiteral("Temp.html"));
    if (!threadhtml::write(html, QStringLiteral("Hobelbank"), messages))
        return 1;
    std::fprintf(stderr, "thread: %d messages, %d pictures, work file %lld KiB\n", messageCount, picture,
                 QFileInfo(html).size() / 1024);

    word::OfficeOptions options = word::OfficeOptions::defaults();
    options.pipeName = QStringLiteral("tarnvik_bench_%1").arg(QCoreApplication::applicationPid());
    options.profileFolder = tmp.filePath(QStringLiteral("profile"));
    options.headless = !parser.isSet(QStringLiteral("visible"));
    options.startTimeoutMs = 120000;
    word::setOfficeOptions(options);

    auto phase = [&](double *ms) {
        QElapsedTimer t;
        t.start();
        QStringList stages;
        const WordBuildResult r = word::buildDocumentNow(folder, html, QStringLiteral("Hobelbank"), 0, true, picture,
                                                         [&](const QString &stage) {
                                                             stages << QStringLiteral("%1 %2").arg(t.elapsed()).arg(stage);
                                                         });
        if (qEnvironmentVariableIsSet("BENCH_STAGES"))
            std::fprintf(stderr, "  %s | %lld end\n", qPrintable(stages.join(QStringLiteral(" | "))), t.elapsed());
        *ms = double(t.elapsed());
        if (!r.ok)
            std::fprintf(stderr, "office phase failed: %s\n", qPrintable(r.error));
        // The document stays open after an export; the next run replaces it.
        return r.ok;
    };

    const QString convertProfile =
        QUrl::fromLocalFile(tmp.filePath(QStringLiteral("convert-profile"))).toString(QUrl::FullyEncoded);
    const QString convertOut = tmp.filePath(QStringLiteral("converted"));
    auto convert = [&](double *ms) {
        QProcess soffice;
        soffice.setProgram(QStringLiteral(TARNVIK_OFFICE_PROGRAM_DIR "/soffice"));
        soffice.setArguments({QStringLiteral("--headless"), QStringLiteral("--norestore"),
                              QStringLiteral("-env:UserInstallation=") + convertProfile,
                              QStringLiteral("--infilter=HTML (StarWriter)"), QStringLiteral("--convert-to"),
                              QStringLiteral("doc"), QStringLiteral("--outdir"), convertOut, html});
        soffice.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer t;
        t.start();
        soffice.start();
        const bool ok = soffice.waitForFinished(180000) && soffice.exitCode() == 0
                        && QFile::exists(convertOut + QStringLiteral("/Temp.doc"));
        *ms = double(t.elapsed());
        if (!ok)
            std::fprintf(stderr, "convert-to failed: %s\n", soffice.readAll().constData());
        if (qEnvironmentVariableIsSet("BENCH_STAGES"))
            std::fprintf(stderr, "  convert-to: %lld KiB\n", QFileInfo(convertOut + QStringLiteral("/Temp.doc")).size() / 1024);
        QFile::remove(convertOut + QStringLiteral("/Temp.doc"));
        return ok;
    };

    double ms = 0;
    if (parser.isSet(QStringLiteral("visible"))) {
        const bool ok = phase(&ms);
        figure("office_phase_visible_ms", ms);
        return ok ? 0 : 1;
    }
    // Warm-up: both profiles made, both offices' files in the page cache.
    if (!convert(&ms) || !phase(&ms))
        return 1;
    std::fprintf(stderr, "warm-up: convert-to and first phase done\n");

    std::vector<double> running, started, converted;
    for (int i = 0; i < runs; ++i) {
        if (!phase(&ms))
            return 1;
        running.push_back(ms);
    }
    for (int i = 0; i < runs; ++i) {
        quitOffice(options.pipeName);
        if (!phase(&ms))
            return 1;
        started.push_back(ms);
    }
    quitOffice(options.pipeName);
    for (int i = 0; i < runs; ++i) {
        if (!convert(&ms))
            return 1;
        converted.push_back(ms);
    }

    const double floor = median(converted);
    figure("office_phase_running_ms", median(running));
    figure("office_phase_started_ms", median(started));
    figure("convert_to_ms", floor);
    figure("office_phase_running_ratio", median(running) / floor);
    figure("office_phase_started_ratio", median(started) / floor);
    figure("document_kib", double(QFileInfo(folder + QStringLiteral("Hobelbank.doc")).size() / 1024));
    return 0;
}
