// How long the main window takes to its first processed page, next to a bare
// Qt WebEngine view loading the same page, and what the processing of a
// 1000-message whole-thread page costs next to loading it. One figure a line,
// "name value"; times in milliseconds, medians of nine rounds.
//
// Each side's time is taken when its page is done (the bare view's
// loadFinished, the window's processed page), not when the waiting loop
// notices: that loop handles further events first, and the window's repaint
// after processing (title strip and status bar, composed with the page
// through OpenGL) would then count as start-up.
#include "browser/WebEngineHost.h"
#include "BenchUtil.h"
#include "common/ForumSim.h"
#include "main/Main.h"
#include "main/PageProcessing.h"
#include "state/DModul.h"
#include "state/Endpoints.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>

namespace {

double bareViewMs(const QUrl &url)
{
    QElapsedTimer t;
    t.start();
    QWebEngineView view;
    view.resize(1000, 700);
    double finishedAt = -1;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&] { finishedAt = t.nsecsElapsed() / 1e6; });
    view.show();
    view.load(url);
    waitFor([&] { return finishedAt >= 0; });
    return finishedAt;
}

void figure(const char *name, double value)
{
    std::printf("%s %.3f\n", name, value);
}

std::vector<double> constructionMs;
std::vector<double> loadedMs;    // from the start to the engine's loadFinished in the window
std::vector<double> afterLoadMs; // from the engine's loadFinished to the processed page

double tarnvikMs(const QString &settingsFile, const QString &folder)
{
    QElapsedTimer t;
    t.start();
    TfrmMain main;
    TDM dm(TDMEnvironment::inFolder(settingsFile, folder, folder));
    DM = &dm;
    constructionMs.push_back(t.nsecsElapsed() / 1e6);
    double processedAt = -1;
    double loaded = 0;
    QObject::connect(static_cast<WebEngineHost *>(main.WebBrowser())->view(), &QWebEngineView::loadFinished,
                     [&] { loaded = t.nsecsElapsed() / 1e6; });
    QObject::connect(&main, &TfrmMain::pageProcessed, [&] {
        processedAt = t.nsecsElapsed() / 1e6;
        loadedMs.push_back(loaded);
        afterLoadMs.push_back(processedAt - loaded);
    });
    main.resize(1000, 700);
    main.show();
    waitFor([&] { return processedAt >= 0; });
    DM = nullptr;
    return processedAt;
}

} // namespace

int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    const int rounds = 9;

    ForumSim sim;
    if (!sim.start({QStringLiteral("--large-thread"), QStringLiteral("1000")})) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    tarnvik::setEndpoints({sim.host(), sim.host(), QStringLiteral("holzwerkerforum")});
    QTemporaryDir dir;
    const QString settingsFile = dir.filePath(QStringLiteral("Tarnvik.conf"));
    {
        QSettings s(settingsFile, QSettings::IniFormat);
        s.setValue(QStringLiteral("Name"), QStringLiteral("Bench"));
        s.setValue(QStringLiteral("Forum"), 0);
    }
    const QUrl index(tarnvik::forumSectionAddress(Forums::HandTools));

    // The first WebEngine start in a process pays for the engine itself;
    // neither side should carry that.
    bareViewMs(QUrl(QStringLiteral("about:blank")));

    std::vector<double> bare, ours;
    for (int i = 0; i < rounds; ++i) {
        bare.push_back(bareViewMs(index));
        ours.push_back(tarnvikMs(settingsFile, dir.path()));
    }
    const double bareMedian = median(bare), oursMedian = median(ours);
    figure("startup_bare_ms", bareMedian);
    figure("startup_tarnvik_ms", oursMedian);
    figure("startup_window_ms", median(constructionMs));     // window and data module made
    figure("startup_tarnvik_loaded_ms", median(loadedMs));   // the engine's loadFinished in the window
    figure("startup_after_load_ms", median(afterLoadMs));    // engine's loadFinished to the processed page
    figure("startup_ratio", oursMedian / bareMedian);         // target <= 1.2

    // A whole thread of 1000 messages: load time against serialisation plus title scan.
    const QString threadUrl = sim.baseUrl().toString(QUrl::StripTrailingSlash) + sim.largeThreadPath();
    std::vector<double> loads, processing, scans;
    qsizetype bodySize = 0;
    QString title;
    for (int i = 0; i < rounds; ++i) {
        QWidget holder;
        WebEngineHost host(&holder);
        holder.resize(1000, 700);
        host.widget()->resize(1000, 700);
        holder.show();
        bool complete = false;
        QElapsedTimer t;
        QObject::connect(&host, &BrowserHost::DocumentComplete, [&](const QString &address) {
            if (address == threadUrl)
                complete = true;
        });
        t.start();
        host.Navigate(threadUrl);
        waitFor([&] { return complete; });
        loads.push_back(t.nsecsElapsed() / 1e6);

        bool done = false;
        t.restart();
        host.requestBodyOuterHtml([&](const QString &body) {
            bodySize = body.size();
            title = tarnvik::threadTitleFromBody(body).value_or(QStringLiteral("<none>"));
            done = true;
        });
        waitFor([&] { return done; });
        processing.push_back(t.nsecsElapsed() / 1e6);

        // What the page processing runs: serialising stops after the title line.
        done = false;
        t.restart();
        host.requestBodyOuterHtml([&](const QString &body) {
            tarnvik::threadTitleFromBody(body);
            done = true;
        }, tarnvik::threadTitleMarker());
        waitFor([&] { return done; });
        scans.push_back(t.nsecsElapsed() / 1e6);
    }
    if (title != QStringLiteral("Werkstatttagebuch: Kleiderschrank aus Kirschbaum")) {
        std::fprintf(stderr, "bench_startup: the thread's title was not found (\"%s\")\n", qPrintable(title));
        return 1;
    }
    const double load = median(loads), proc = median(processing);
    figure("thread_load_ms", load);
    figure("thread_serialise_ms", proc);
    figure("thread_serialise_chars", double(bodySize));
    figure("thread_serialise_ratio", proc / load);
    figure("thread_title_scan_ms", median(scans));             // what the page processing serialises
    figure("thread_title_scan_ratio", median(scans) / load);   // target <= 0.1
    figure("peak_rss_kib", double(peakRssKiB()));               // the program process, VmHWM
    return 0;
}
