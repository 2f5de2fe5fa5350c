// How long the preview takes from F10 to the forum's preview page shown,
// next to a bare Qt WebEngine view that loads the same work page and submits
// the same form by script, in the same run: one figure a line, "name value",
// in milliseconds (medians of nine rounds).
#include "automation/Preview.h"
#include "browser/WebEngineHost.h"
#include "BenchUtil.h"
#include "common/ForumSim.h"
#include "common/ResponseTemplate.h"
#include "common/TestSettings.h"
#include "state/DModul.h"
#include "state/Endpoints.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString kBody = QStringLiteral("[b]Hobelbank[/b] aus Buche, [i]geölt[/i].\r\n[List]\r\n[*]Leinöl\r\n[*]Wachs\r\n[/List]");

// The window as the editor opens it, up to the send path on the forum's page.
double programMs()
{
    QElapsedTimer t;
    t.start();
    TfrmPreview preview(nullptr);
    bool shown = false;
    QObject::connect(&preview, &TfrmPreview::forumPageShown, [&](bool on) { shown = on; });
    if (!preview.Prepare(0, kBody, QStringLiteral("Messung")))
        return -1;
    preview.show();
    if (!waitFor([&] { return shown; }))
        return -1;
    return t.nsecsElapsed() / 1e6;
}

// A bare view: the same work page, filled and submitted by one script once
// it has loaded; done when the forum's answer has loaded.
double bareMs(const QString &workPage)
{
    QElapsedTimer t;
    t.start();
    QWebEngineView view;
    view.resize(696, 445);
    int loads = 0;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool) {
        if (++loads == 1)
            view.page()->runJavaScript(QStringLiteral(
                "var f = document.forms[0]; f.elements[0].value = '0'; f.elements[1].value = 'Holzwurm';"
                "f.elements[2].value = 'holzwerkerforum'; f.elements[3].value = 'h@example.org';"
                "f.elements[4].value = 'Messung'; f.elements[5].value = %1; f.elements[12].checked = true;"
                "f.elements[13].click();")
                                           .arg(QLatin1Char('\'') + QString(kBody).replace(QStringLiteral("\r\n"), QStringLiteral("\\n")) + QLatin1Char('\'')));
    });
    view.load(QUrl::fromLocalFile(workPage));
    view.show();
    if (!waitFor([&] { return loads >= 2; }))
        return -1;
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    ForumSim sim;
    QTemporaryDir dir;
    if (!sim.start() || !dir.isValid()) {
        std::fprintf(stderr, "bench_preview: the simulator did not start\n");
        return 1;
    }
    tarnvik::setEndpoints({sim.host(), sim.pictureHost(), QStringLiteral("holzwerkerforum")});
    const QString program = dir.filePath(QStringLiteral("prog"));
    QDir().mkpath(program);
    if (!writeResponseTemplate(program, sim.host()))
        return 1;
    TDM dm(TDMEnvironment::inFolder(freshSettingsFile(dir, 0), program, dir.path()));
    DM = &dm;

    // Warm the engine up once, then alternate.
    programMs();
    bareMs(program + QStringLiteral("/Temp.html"));
    std::vector<double> ours, bare;
    for (int round = 0; round < 9; ++round) {
        ours.push_back(programMs());
        bare.push_back(bareMs(program + QStringLiteral("/Temp.html")));
    }
    const double a = median(ours), b = median(bare);
    std::printf("preview_tarnvik_ms %.3f\n", a);
    std::printf("preview_bare_ms %.3f\n", b);
    std::printf("preview_ratio %.3f\n", b > 0 ? a / b : 0.0); // target <= 1.3
    DM = nullptr;
    return 0;
}
