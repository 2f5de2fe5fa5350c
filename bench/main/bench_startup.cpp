// Prints how long the main window takes to its first processed page, next to
// a bare Qt WebEngine view loading the same page, and what the processing of
// a 1000-message whole-thread page costs next to loading it.
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
    bool finished = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&] { finished = true; });
    view.show();
    view.load(url);
    waitFor([&] { return finished; });
    return t.nsecsElapsed() / 1e6;
}

std::vector<double> constructionMs;
std::vector<double> afterLoadMs; // from the engine's loadFinished to the processed page

double tarnvikMs(const QString &settingsFile, const QString &folder)
{
    QElapsedTimer t;
    t.start();
    TfrmMain main;
    TDM dm(TDMEnvironment::inFolder(settingsFile, folder, folder));
    DM = &dm;
    constructionMs.push_back(t.nsecsElapsed() / 1e6);
    bool processed = false;
    double loaded = 0;
    QObject::connect(static_cast<WebEngineHost *>(main.WebBrowser())->view(), &QWebEngineView::loadFinished,
                     [&] { loaded = t.nsecsElapsed() / 1e6; });
    QObject::connect(&main, &TfrmMain::pageProcessed, [&] {
        processed = true;
        afterLoadMs.push_back(t.nsecsElapsed() / 1e6 - loaded);
    });
    main.resize(1000, 700);
    main.show();
    waitFor([&] { return processed; });
    const double ms = t.nsecsElapsed() / 1e6;
    DM = nullptr;
    return ms;
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
    std::printf("start to first completed page (median of %d)\n", rounds);
    std::printf("  bare QWebEngineView   %8.1f ms\n", bareMedian);
    std::printf("  Tarnvik main window   %8.1f ms\n", oursMedian);
    std::printf("  of which window and data module %8.1f ms\n", median(constructionMs));
    std::printf("  of which after the engine's loadFinished (page events, title) %8.1f ms\n", median(afterLoadMs));
    std::printf("  ratio                 %8.2f   (target <= 1.2)\n\n", oursMedian / bareMedian);

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
    const double load = median(loads), proc = median(processing);
    std::printf("1000-message whole-thread page (median of %d)\n", rounds);
    std::printf("  page load             %8.1f ms\n", load);
    std::printf("  serialise + title     %8.1f ms  (%lld characters, title \"%s\")\n", proc,
                static_cast<long long>(bodySize), qPrintable(title));
    std::printf("  ratio                 %8.3f\n", proc / load);
    std::printf("  page processing (serialising up to the title line) %8.1f ms, ratio %.3f (target <= 0.1)\n",
                median(scans), median(scans) / load);
    std::printf("  peak memory (program process, VmHWM) %ld KiB\n", peakRssKiB());
    return 0;
}
