// tarnvik-forumsim: serves the substitute forum on a loopback address until
// SIGINT or SIGTERM.

#include "Options.h"
#include "Pages.h"
#include "Routes.h"
#include "Seed.h"
#include "Store.h"

#include <httplib.h>

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>

int main(int argc, char **argv)
{
    const forumsim::ParsedOptions parsed =
        forumsim::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::cerr << "tarnvik-forumsim: " << parsed.error << "\n"
                  << "Try 'tarnvik-forumsim --help'.\n";
        return 2;
    }
    const forumsim::Options &options = *parsed.options;
    if (options.help) {
        std::cout << forumsim::usageText();
        return 0;
    }

    // Block the stop signals before any thread exists, so that every thread
    // inherits the mask and only the waiter below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    forumsim::ForumStore store;
    forumsim::seedForum(store, options.pictureHost);
    std::string largeThreadPath;
    if (options.largeThread > 0) {
        const int root = forumsim::seedLargeThread(store, options.largeThread, options.pictureHost);
        largeThreadPath = forumsim::threadLink("forum", root);
    }

    httplib::Server server;
    forumsim::configureServer(server, store);
    int port = options.port;
    errno = 0;
    if (port == 0)
        port = server.bind_to_any_port(options.bind);
    else if (!server.bind_to_port(options.bind, port))
        port = -1;
    if (port <= 0) {
        const int error = errno;
        std::cerr << "tarnvik-forumsim: cannot listen on " << options.bind << " port " << options.port;
        if (error != 0)
            std::cerr << ": " << std::strerror(error);
        std::cerr << "\n";
        return 2;
    }

    // The socket is listening now; connections wait in its queue until the
    // accept loop runs.
    std::cout << "tarnvik-forumsim listening on " << forumsim::baseUrl(options.bind, port) << std::endl;
    if (!largeThreadPath.empty())
        std::cout << "large thread: " << largeThreadPath << std::endl;

    std::atomic<bool> serving{true};
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        // stop() only acts once the accept loop runs; a signal that arrives
        // earlier waits for it.
        while (serving && !server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (serving)
            server.stop();
    });

    const bool ok = server.listen_after_bind();
    serving = false;
    pthread_kill(waiter.native_handle(), SIGTERM);   // wakes the waiter if no signal came
    waiter.join();
    return ok ? 0 : 1;
}
