// Checking watched threads against the forum simulator: how many requests a
// check costs and how much of the program's own CPU time, with 100 threads
// watched over both sections (an answer posted before each check) and with
// none.
#include "BenchUtil.h"
#include "watch/SimPost.h"
#include "watch/WatchEngine.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

using namespace tarnvik::watch;

namespace {

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

struct Check {
    int requests = -1;
    double cpuMs = 0;
};

Check check(WatchEngine &engine)
{
    Check result;
    QObject context;
    QObject::connect(&engine, &WatchEngine::checkDone, &context, [&](int requests) { result.requests = requests; });
    const double start = processCpuMs();
    engine.checkNow();
    waitFor([&] { return result.requests >= 0; });
    result.cpuMs = processCpuMs() - start;
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ForumSim sim;
    if (!sim.start()) {
        std::fprintf(stderr, "bench_watch: the simulator did not start\n");
        return 1;
    }
    QTemporaryDir dir;
    QNetworkAccessManager nam;
    WatchEngine engine(simulatorChecks(sim, dir));
    engine.start();

    // 100 threads from every index page of both sections, each watched from
    // its whole-thread page after its index page was shown.
    QList<std::pair<QString, qint32>> watched;
    for (const QString &section : {QStringLiteral("forum"), QStringLiteral("holzbearbeitungsmaschinen")}) {
        for (int page = 1; page <= 3; ++page) {
            const QString index = indexPageUrl(sim.host(), section, page);
            engine.pageShown(index, {});
            for (const PageThread &t : readThreadLists(exchange(nam, QUrl(index)).body).threads) {
                if (watched.size() == 100)
                    break;
                const QString address = wholeThreadUrl(sim.host(), section, t.root);
                engine.watch(address, QString::fromUtf8(exchange(nam, QUrl(address)).body), QStringLiteral("Thema"));
                watched.append({section, t.root});
            }
        }
    }
    if (engine.threads().size() != 100) {
        std::fprintf(stderr, "bench_watch: only %lld threads watched\n", qlonglong(engine.threads().size()));
        return 1;
    }
    check(engine); // the first check reads every page whole

    std::vector<double> requests;
    std::vector<double> cpu;
    for (int i = 0; i < 7; ++i) {
        const auto &[section, root] = watched.at(i * 13 % watched.size());
        postAnswer(nam, sim, section, root, "Messlatte");
        const Check c = check(engine);
        requests.push_back(c.requests);
        cpu.push_back(c.cpuMs);
    }
    for (const auto &[section, root] : watched)
        engine.unwatch(root);
    const Check none = check(engine);

    std::printf("requests_per_check %g\n", median(requests));
    std::printf("cpu_ms_per_check %.2f\n", median(cpu));
    std::printf("requests_per_check_unwatched %d\n", none.requests);
    return 0;
}
