#pragma once

// The simulator's command line.

#include <optional>
#include <string>
#include <vector>

namespace forumsim {

inline constexpr int kDefaultPort = 18480;
inline constexpr int kMaxLargeThread = 20000;

struct Options {
    int port = kDefaultPort;                      // 0: any free port
    std::string bind = "127.0.0.1";               // loopback only
    std::string pictureHost = "127.0.0.1:18481";  // written into picture addresses
    int largeThread = 0;                          // messages of the benchmark thread; 0: none
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
// "http://ADDR:PORT", with brackets around an IPv6 address.
std::string baseUrl(const std::string &bindAddress, int port);

} // namespace forumsim
