// tarnvik-forumsim: serves the substitute forum and its picture server on a
// loopback address until SIGINT or SIGTERM.

#include "Accounts.h"
#include "Options.h"
#include "Pages.h"
#include "Pictures.h"
#include "Posting.h"
#include "Routes.h"
#include "Seed.h"
#include "Store.h"

#include <httplib.h>

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <thread>

namespace {

// The library listens with a backlog of 5; many clients connecting at once
// would then wait for SYN retries. listen() again only raises the backlog.
class Server : public httplib::Server {
public:
    void raiseBacklog() { ::listen(svr_sock_.load(), 256); }
};

// Binds `server` to options.bind and `port` (0: any free port). Returns the
// port, or 0 after saying why not.
int bindServer(Server &server, const std::string &address, int port, const char *what)
{
    errno = 0;
    int bound = 0;
    if (port == 0)
        bound = server.bind_to_any_port(address);
    else if (server.bind_to_port(address, port))
        bound = port;
    if (bound <= 0) {
        const int error = errno;
        std::cerr << "tarnvik-forumsim: cannot listen on " << address << " port " << port << " (" << what << ")";
        if (error != 0)
            std::cerr << ": " << std::strerror(error);
        std::cerr << "\n";
        return 0;
    }
    server.raiseBacklog();
    return bound;
}

} // namespace

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
    // A file-size limit makes a write fail (as a full disk does) instead of
    // ending the server.
    signal(SIGXFSZ, SIG_IGN);

    forumsim::Accounts accounts;
    accounts.add(std::string(forumsim::kSeededMember), std::string(forumsim::kSeededPassword));
    for (const auto &[name, password] : options.users)
        accounts.add(name, password);

    forumsim::ForumStore store;
    forumsim::PostingDesk desk(store, accounts, options.siteWord);
    desk.setPublishFault({options.publishErrorStatus, options.publishRedirect});
    forumsim::PictureStore pictures(accounts, {options.pictureDelayMs, options.slowPictures, options.missingPictures});

    // Both ports are bound before anything is printed, so that whoever waits
    // for the forum's port finds the picture server ready as well.
    Server forumServer;
    Server pictureServer;
    forumsim::applyServerSettings(pictureServer, forumsim::kMaxPictureBytes + 256 * 1024);
    forumsim::applyServerSettings(forumServer, forumsim::kMaxPostRequestBytes + 64 * 1024);
    const int picturePort = bindServer(pictureServer, options.bind, options.picturePort, "picture server");
    if (picturePort == 0)
        return 2;
    const int port = bindServer(forumServer, options.bind, options.port, "forum");
    if (port == 0)
        return 2;

    // Picture addresses in the threads name the picture server as bound,
    // unless the command line names another.
    const std::string pictureHost =
        options.pictureHost.empty() ? forumsim::hostAndPort(options.bind, picturePort) : options.pictureHost;
    forumsim::seedForum(store, pictureHost);
    std::string largeThreadPath;
    if (options.largeThread > 0) {
        const int root = forumsim::seedLargeThread(store, options.largeThread, pictureHost);
        largeThreadPath = forumsim::threadLink("forum", root);
    }
    pictures.addSeeded(forumsim::seededPictureNumbers(store, pictureHost));

    if (!options.dataDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.dataDir, ec);
        std::string error;
        if (ec) {
            std::cerr << "tarnvik-forumsim: cannot create " << options.dataDir << ": " << ec.message() << "\n";
            return 2;
        }
        if (!desk.openArchive(options.dataDir, std::cerr, error)
            || !pictures.openArchive(options.dataDir, std::cerr, error)) {
            std::cerr << "tarnvik-forumsim: cannot write to the data folder: " << error << "\n";
            return 2;
        }
    }

    forumsim::addForumRoutes(forumServer, store, desk);
    forumsim::addPictureRoutes(pictureServer, pictures, pictureHost, options.addPictureRedirect);

    // The sockets are listening now; connections wait in their queues until
    // the accept loops run.
    std::cout << "tarnvik-forumsim listening on " << forumsim::baseUrl(options.bind, port) << std::endl;
    std::cout << "picture server listening on " << forumsim::baseUrl(options.bind, picturePort) << std::endl;
    if (!largeThreadPath.empty())
        std::cout << "large thread: " << largeThreadPath << std::endl;

    std::atomic<bool> serving{true};
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        // stop() only acts once an accept loop runs; a signal that arrives
        // earlier waits for them.
        while (serving && !(forumServer.is_running() && pictureServer.is_running()))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (serving) {
            pictureServer.stop();
            forumServer.stop();
        }
    });
    std::atomic<bool> pictureDone{false};
    std::thread pictureThread([&] {
        pictureServer.listen_after_bind();
        pictureDone = true;
    });

    const bool ok = forumServer.listen_after_bind();
    serving = false;
    // stop() does nothing before the accept loop runs: repeat it until the
    // picture server has ended.
    while (!pictureDone) {
        pictureServer.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pictureThread.join();
    pthread_kill(waiter.native_handle(), SIGTERM);   // wakes the waiter if no signal came
    waiter.join();
    return ok ? 0 : 1;
}
