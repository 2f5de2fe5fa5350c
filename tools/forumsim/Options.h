#pragma once

// The simulator's command line.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace forumsim {

inline constexpr int kDefaultPort = 18480;
inline constexpr int kDefaultPicturePort = 18481;
inline constexpr int kMaxLargeThread = 20000;
inline constexpr int kMaxDelayMs = 60000;
inline constexpr const char *kDefaultSiteWord = "holzwerkerforum";

struct Options {
    int port = kDefaultPort;                      // 0: any free port
    int picturePort = kDefaultPicturePort;        // the picture server's; 0: any free port
    std::string bind = "127.0.0.1";               // loopback only
    // Written into picture addresses; empty: the picture server's own
    // address and port.
    std::string pictureHost;
    std::string siteWord = kDefaultSiteWord;      // what the posting form must carry
    std::string dataDir;                          // posts and uploads; empty: memory only
    std::vector<std::pair<std::string, std::string>> users;   // registered name, password
    int largeThread = 0;                          // messages of the benchmark thread; 0: none
    int pictureDelayMs = 0;                       // every picture answer waits this long
    std::map<int, int> slowPictures;              // picture number -> extra wait in ms
    std::set<int> missingPictures;                // answered 404 although threads show them
    // A failing or hostile server, for the client's tests.
    int publishErrorStatus = 0;                   // publishing answers this status; 0: off
    std::string publishRedirect;                  // publishing redirects here; empty: off
    std::string addPictureRedirect;               // the add-picture page redirects here
    bool help = false;
};

struct ParsedOptions {
    std::optional<Options> options;   // empty on error
    std::string error;
};

// Accepts "--name value" and "--name=value".
ParsedOptions parseOptions(const std::vector<std::string> &args);
std::string usageText();

// True for 127.0.0.0/8 and ::1 written as numeric addresses.
bool isLoopbackAddress(const std::string &address);
// HOST or HOST:PORT with a plain host name, IPv4 address or [IPv6] address.
bool isValidHostAndPort(const std::string &text);
// "http://" or "https://", HOST[:PORT] as above, then an optional path of
// printable characters without blanks.
bool isRedirectTarget(const std::string &text);
// "ADDR:PORT", with brackets around an IPv6 address.
std::string hostAndPort(const std::string &bindAddress, int port);
// "http://ADDR:PORT".
std::string baseUrl(const std::string &bindAddress, int port);

} // namespace forumsim
