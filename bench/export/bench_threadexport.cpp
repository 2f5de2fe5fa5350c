// Prints the cost of the thread export, one figure per line as "name
// value" (milliseconds unless the name says otherwise): the extraction of a
// 1000-message whole-thread page against loading that page, and the export
// of a thread with many pictures from a picture server that answers each
// one late, against its slowest single picture and against fetching one at
// a time; then the whole export from F6 to the saved document, next to its
// office phase alone (with the office binding built; a headless office on a
// pipe and profile of the benchmark's own, quit at the end). Notes go to
// the error stream.
#include "BenchUtil.h"
#include "browser/WebEngineHost.h"
#include "common/ForumSim.h"
#include "export/ExportText.h"
#include "export/PictureDownloader.h"
#include "export/ThreadExport.h"
#include "export/WordConnection.h"
#include "state/Endpoints.h"
#ifdef TARNVIK_HAVE_OFFICE
#include "export/OfficeReadBack.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

void figure(const char *name, double value)
{
    std::printf("%s %.3f\n", name, value);
}

struct Page {
    double loadMs = 0;
    double serialiseMs = 0;
    QString body;
};

// Loads `url` in `host` and serialises its body, timing both.
Page loadPage(WebEngineHost &host, const QString &url)
{
    Page page;
    bool complete = false;
    const auto connection = QObject::connect(&host, &BrowserHost::DocumentComplete, [&](const QString &address) {
        if (address == url)
            complete = true;
    });
    QElapsedTimer t;
    t.start();
    host.Navigate(url);
    waitFor([&] { return complete; }, 120000);
    page.loadMs = t.nsecsElapsed() / 1e6;
    QObject::disconnect(connection);
    bool done = false;
    t.restart();
    host.requestBodyOuterHtml([&](const QString &body) {
        page.body = body;
        done = true;
    });
    waitFor([&] { return done; }, 120000);
    page.serialiseMs = t.nsecsElapsed() / 1e6;
    return page;
}

QString threadTitle(const QString &body)
{
    // The title strip's caption of a whole thread: the text of its title line.
    const QString marker = QStringLiteral("<P align=center><BIG><BIG><STRONG>");
    const qsizetype at = body.indexOf(marker);
    const qsizetype end = body.indexOf(QStringLiteral("</STRONG>"), at);
    return at < 0 || end < 0 ? QString() : body.mid(at + marker.size(), end - at - marker.size());
}

void extractionBench(QWidget &holder, const ForumSim &sim, int rounds)
{
    const QString url = sim.baseUrl().toString(QUrl::StripTrailingSlash) + sim.largeThreadPath();
    std::vector<double> loads, serialising, extracting;
    qsizetype lines = 0, pictures = 0, characters = 0;
    for (int i = 0; i < rounds; ++i) {
        WebEngineHost host(&holder);
        host.widget()->resize(1000, 700);
        const Page page = loadPage(host, url);
        loads.push_back(page.loadMs);
        serialising.push_back(page.serialiseMs);

        QElapsedTimer t;
        t.start();
        tarnvik::PictureState state;
        state.title = QStringLiteral("Kleiderschrank");
        state.picturesFolder = QStringLiteral("/tmp/Doku/Pictures/");
        state.pageAddress = QUrl(url);
        const QStringList source = tarnvik::SplitBodyLines(page.body);
        const tarnvik::Extraction result = tarnvik::ExtractThread(source, threadTitle(page.body), true, state);
        const QByteArray bytes = tarnvik::EncodeWorkFile(result.lines);
        extracting.push_back(t.nsecsElapsed() / 1e6);
        if (result.end != tarnvik::ExtractionEnd::Complete)
            std::fprintf(stderr, "extraction did not complete (%d)\n", int(result.end));
        lines = result.lines.size();
        pictures = state.downloads.size();
        characters = page.body.size();
        Q_UNUSED(bytes);
    }
    const double load = median(loads), serialise = median(serialising), extract = median(extracting);
    std::fprintf(stderr, "1000-message whole-thread page (median of %d; %lld characters -> %lld lines, %lld pictures)\n",
                 rounds, static_cast<long long>(characters), static_cast<long long>(lines),
                 static_cast<long long>(pictures));
    figure("page_load_ms", load);
    figure("extraction_ms", extract);
    figure("extraction_ratio", extract / load); // target <= 0.1
    figure("serialising_ms", serialise);
    figure("serialising_ratio", serialise / load);
    figure("f6_page_wait_ms", serialise + extract);
    figure("f6_page_wait_ratio", (serialise + extract) / load);
}

// One export as F6 runs it after the title dialog, timed to the work file
// (page read, extraction, pictures) and to its end (the office phase).
struct ExportRun {
    double toWorkFileMs = 0;
    double totalMs = 0;
    int pictures = 0;
    int missing = 0;
    QString status;
};

ExportRun runExport(WebEngineHost &host, const QString &url, const QString &pageTitle, const QString &folder)
{
    tarnvik::ThreadExport::Setup setup;
    setup.pageTitle = pageTitle;
    setup.wholeThread = true;
    setup.pageAddress = QUrl(url);
    setup.documentFolder = folder;
    setup.picturesFolder = folder + QStringLiteral("Pictures/");
    setup.workFolder = folder;
    tarnvik::ThreadExport run(nullptr, &host, setup);
    ExportRun result;
    bool finished = false;
    QElapsedTimer t;
    QObject::connect(&run, &tarnvik::ThreadExport::workFileWritten, [&] { result.toWorkFileMs = t.nsecsElapsed() / 1e6; });
    QObject::connect(&run, &tarnvik::ThreadExport::statusMessage, [&](const QString &text) { result.status = text; });
    QObject::connect(&run, &tarnvik::ThreadExport::finished, [&] { finished = true; });
    t.start();
    run.startWith(QStringLiteral("Kleiderschrank"), 0);
    waitFor([&] { return finished; }, 600000);
    result.totalMs = t.nsecsElapsed() / 1e6;
    result.pictures = run.downloader()->total();
    result.missing = run.missingPictures();
    return result;
}

void downloadBench(QWidget &holder, const ForumSim &sim, int delayMs)
{
    const QString url = sim.baseUrl().toString(QUrl::StripTrailingSlash) + sim.largeThreadPath();
    WebEngineHost host(&holder);
    const Page page = loadPage(host, url);
    const QString pageTitle = threadTitle(page.body);
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');

    // The first export also starts the office (a fresh profile); the next
    // ones find it running.
    const ExportRun first = runExport(host, url, pageTitle, folder);
    std::vector<double> toWorkFile{first.toWorkFileMs}, total, office;
    for (int i = 0; i < 3; ++i) {
        const ExportRun r = runExport(host, url, pageTitle, folder);
        toWorkFile.push_back(r.toWorkFileMs);
        total.push_back(r.totalMs);
        office.push_back(r.totalMs - r.toWorkFileMs);
    }
    const int pictures = first.pictures;

    // The same pictures one after the other, for comparison.
    tarnvik::PictureState state;
    state.title = QStringLiteral("Einzeln");
    state.picturesFolder = folder + QStringLiteral("Pictures/");
    state.pageAddress = QUrl(url);
    tarnvik::ExtractThread(tarnvik::SplitBodyLines(page.body), pageTitle, true, state);
    tarnvik::PictureDownloader sequential;
    tarnvik::PictureDownloader::Limits oneAtATime;
    oneAtATime.parallel = 1;
    sequential.setLimits(oneAtATime);
    std::vector<double> single;
    QElapsedTimer each;
    bool done = false;
    QObject::connect(&sequential, &tarnvik::PictureDownloader::progress, [&] {
        single.push_back(each.nsecsElapsed() / 1e6);
        each.restart();
    });
    QObject::connect(&sequential, &tarnvik::PictureDownloader::finished, [&] { done = true; });
    QElapsedTimer t;
    t.start();
    each.start();
    sequential.start(state.downloads);
    waitFor([&] { return done; }, 600000);
    const double sequentialMs = t.nsecsElapsed() / 1e6;
    const double slowest = single.empty() ? 0 : *std::max_element(single.begin(), single.end());
    const int connections = tarnvik::PictureDownloader::Limits().parallel;
    const double floorForConnections = std::ceil(double(pictures) / connections) * slowest;
    const double parallelMs = median(toWorkFile);

    std::fprintf(stderr, "export of a %lld-message thread with %d pictures, each answered after %d ms (%s)\n",
                 static_cast<long long>(tarnvik::SplitBodyLines(page.body)
                                            .filter(QStringLiteral("<P align=center><STRONG><BIG>"))
                                            .size()),
                 pictures, delayMs, qPrintable(first.status.left(80)));
    figure("pictures_to_work_file_ms", parallelMs);
    figure("pictures_missing", first.missing);
    figure("slowest_picture_ms", slowest);
    figure("pictures_vs_slowest_ratio", parallelMs / slowest); // target <= 1.3
    figure("pictures_connection_floor_ms", floorForConnections);
    figure("pictures_vs_floor_ratio", parallelMs / floorForConnections);
    figure("pictures_one_at_a_time_ms", sequentialMs);
    figure("one_at_a_time_vs_slowest_ratio", sequentialMs / slowest);
    if (!tarnvik::word::isAvailable()) {
        std::fprintf(stderr, "no office binding in this build: the export ends at the work file\n");
        return;
    }
    // F6 to the saved document.
    figure("export_office_started_ms", first.totalMs);
    figure("export_office_started_phase_ms", first.totalMs - first.toWorkFileMs);
    figure("export_office_running_ms", median(total));
    figure("export_office_running_phase_ms", median(office));
}

} // namespace

int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    QWidget holder;
    holder.resize(1000, 700);
    holder.show();

    ForumSim sim;
    if (!sim.start({QStringLiteral("--large-thread"), QStringLiteral("1000")})) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    tarnvik::setEndpoints({sim.host(), sim.host(), QStringLiteral("holzwerkerforum")});
    QTemporaryDir officeProfile;
    tarnvik::word::OfficeOptions office = tarnvik::word::OfficeOptions::defaults();
    office.pipeName = QStringLiteral("tarnvik_bench_export_%1").arg(QCoreApplication::applicationPid());
    office.profileFolder = officeProfile.path();
    office.headless = true;
    office.startTimeoutMs = 120000;
    tarnvik::word::setOfficeOptions(office);
    {
        // The first WebEngine start pays for the engine itself.
        WebEngineHost warmUp(&holder);
        loadPage(warmUp, QStringLiteral("about:blank"));
    }
    extractionBench(holder, sim, 5);

    // The large thread shows a picture in every tenth message: 500 messages, 50 pictures.
    const int delay = 100;
    if (!sim.start({QStringLiteral("--large-thread"), QStringLiteral("500"), QStringLiteral("--picture-delay"),
                    QString::number(delay)})) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    tarnvik::setEndpoints({sim.host(), sim.host(), QStringLiteral("holzwerkerforum")});
    downloadBench(holder, sim, delay);
    ReleaseWordConnections();
#ifdef TARNVIK_HAVE_OFFICE
    readback::quitOffice(office.pipeName);
    QThread::msleep(1000); // the profile goes once the office has let go of it
#endif
    return 0;
}
