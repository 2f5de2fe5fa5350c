#include "Options.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>
#include <cstring>

namespace forumsim {

namespace {

std::optional<int> parseInt(const std::string &text, int min, int max)
{
    int value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max)
        return std::nullopt;
    return value;
}

} // namespace

bool isLoopbackAddress(const std::string &address)
{
    in_addr v4{};
    if (::inet_pton(AF_INET, address.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (::inet_pton(AF_INET6, address.c_str(), &v6) == 1)
        return std::memcmp(&v6, &in6addr_loopback, sizeof v6) == 0;
    return false;
}

bool isValidHostAndPort(const std::string &text)
{
    if (text.empty() || text.size() > 260)
        return false;
    std::string host = text;
    std::string port;
    if (host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string::npos)
            return false;
        in6_addr v6{};
        if (::inet_pton(AF_INET6, host.substr(1, close - 1).c_str(), &v6) != 1)
            return false;
        const std::string rest = host.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return false;
            port = rest.substr(1);
            if (port.empty())
                return false;
        }
    } else {
        const std::size_t colon = host.find(':');
        if (colon != std::string::npos) {
            port = host.substr(colon + 1);
            host.resize(colon);
            if (port.empty())
                return false;
        }
        if (host.empty() || host.size() > 253 || host.front() == '-' || host.front() == '.')
            return false;
        for (const char c : host) {
            const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                            || c == '.' || c == '-';
            if (!ok)
                return false;
        }
    }
    return port.empty() || parseInt(port, 1, 65535).has_value();
}

std::string baseUrl(const std::string &bindAddress, int port)
{
    const bool v6 = bindAddress.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + bindAddress + "]" : bindAddress) + ":" + std::to_string(port);
}

std::string usageText()
{
    return "Usage: tarnvik-forumsim [options]\n"
           "Serves a woodworkers' forum with seeded threads on a loopback address.\n"
           "\n"
           "  --port N             port to listen on (default 18480; 0 picks a free port)\n"
           "  --bind ADDR          loopback address to listen on (default 127.0.0.1)\n"
           "  --picture-host HOST[:PORT]\n"
           "                       picture server written into picture addresses\n"
           "                       (default 127.0.0.1:18481)\n"
           "  --large-thread N     also seed one thread of N messages (1.." + std::to_string(kMaxLargeThread) + ")\n"
           "                       in section \"forum\" for benchmarks\n"
           "  --help               show this text\n"
           "\n"
           "Prints \"tarnvik-forumsim listening on http://ADDR:PORT\" once it accepts\n"
           "connections; stops on SIGINT or SIGTERM.\n";
}

ParsedOptions parseOptions(const std::vector<std::string> &args)
{
    Options o;
    auto fail = [](std::string message) { return ParsedOptions{std::nullopt, std::move(message)}; };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const std::size_t eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--help" || name == "-h") {
            if (value)
                return fail("--help takes no value");
            o.help = true;
            continue;
        }
        if (name != "--port" && name != "--bind" && name != "--picture-host" && name != "--large-thread")
            return fail("unknown option: " + args[i]);
        if (!value) {
            if (i + 1 >= args.size())
                return fail(name + " needs a value");
            value = args[++i];
        }

        if (name == "--port") {
            const auto port = parseInt(*value, 0, 65535);
            if (!port)
                return fail("--port needs a number from 0 to 65535, not \"" + *value + "\"");
            o.port = *port;
        } else if (name == "--bind") {
            std::string address = *value == "localhost" ? "127.0.0.1" : *value;
            if (!isLoopbackAddress(address))
                return fail("--bind accepts only a loopback address (127.x.x.x or ::1), not \"" + *value + "\"");
            o.bind = std::move(address);
        } else if (name == "--picture-host") {
            if (!isValidHostAndPort(*value))
                return fail("--picture-host needs HOST or HOST:PORT, not \"" + *value + "\"");
            o.pictureHost = *value;
        } else {
            const auto count = parseInt(*value, 1, kMaxLargeThread);
            if (!count)
                return fail("--large-thread needs a number from 1 to " + std::to_string(kMaxLargeThread)
                            + ", not \"" + *value + "\"");
            o.largeThread = *count;
        }
    }
    return {o, {}};
}

} // namespace forumsim
