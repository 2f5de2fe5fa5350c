#include "Options.h"

#include "Text.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>
#include <cstring>
#include <string_view>

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

bool isRedirectTarget(const std::string &text)
{
    if (text.size() > 2048)
        return false;
    std::string_view rest = text;
    if (rest.starts_with("http://"))
        rest.remove_prefix(7);
    else if (rest.starts_with("https://"))
        rest.remove_prefix(8);
    else
        return false;
    const std::size_t slash = rest.find('/');
    if (!isValidHostAndPort(std::string(rest.substr(0, slash))))
        return false;
    for (const char c : rest.substr(slash == std::string_view::npos ? rest.size() : slash)) {
        if (c <= ' ' || c >= 127)
            return false;
    }
    return true;
}

std::string hostAndPort(const std::string &bindAddress, int port)
{
    const bool v6 = bindAddress.find(':') != std::string::npos;
    return (v6 ? "[" + bindAddress + "]" : bindAddress) + ":" + std::to_string(port);
}

std::string baseUrl(const std::string &bindAddress, int port)
{
    return "http://" + hostAndPort(bindAddress, port);
}

std::string usageText()
{
    return "Usage: tarnvik-forumsim [options]\n"
           "Serves a woodworkers' forum with seeded threads, and its picture server, on\n"
           "a loopback address.\n"
           "\n"
           "  --port N             forum port (default 18480; 0 picks a free port)\n"
           "  --picture-port N     picture server port (default 18481; 0 picks a free port)\n"
           "  --bind ADDR          loopback address to listen on (default 127.0.0.1)\n"
           "  --picture-host HOST[:PORT]\n"
           "                       picture server written into picture addresses\n"
           "                       (default: the picture server's own address and port)\n"
           "  --data DIR           keep published posts and uploaded pictures in DIR\n"
           "                       (created if missing); without it they live in memory\n"
           "  --user NAME:PASSWORD register a member (repeatable); \"Hobelmeister\" with\n"
           "                       password \"Spaene42\" is always registered\n"
           "  --site WORD          site word the posting form must carry\n"
           "                       (default \"holzwerkerforum\")\n"
           "  --large-thread N     also seed one thread of N messages (1.." + std::to_string(kMaxLargeThread) + ")\n"
           "                       in section \"forum\" for benchmarks\n"
           "  --picture-delay MS   every picture answer waits MS milliseconds\n"
           "  --slow-picture N:MS  picture N waits MS milliseconds (repeatable)\n"
           "  --missing-picture N  picture N answers 404 although threads show it (repeatable)\n"
           "  --publish-error STATUS\n"
           "                       publishing a post answers STATUS (500..599) with the error\n"
           "                       page and stores nothing, as when the disk is full\n"
           "  --publish-redirect URL\n"
           "                       publishing a post answers 303 to URL and stores nothing\n"
           "  --add-picture-redirect URL\n"
           "                       the add-picture page answers 302 to URL\n"
           "  --help               show this text\n"
           "\n"
           "Prints \"tarnvik-forumsim listening on http://ADDR:PORT\" and then\n"
           "\"picture server listening on http://ADDR:PORT\" once both accept\n"
           "connections; stops on SIGINT or SIGTERM.\n";
}

namespace {

constexpr const char *kOptionsWithValue[] = {
    "--port", "--picture-port", "--bind", "--picture-host", "--data", "--user", "--site",
    "--large-thread", "--picture-delay", "--slow-picture", "--missing-picture",
    "--publish-error", "--publish-redirect", "--add-picture-redirect"};

bool takesValue(const std::string &name)
{
    for (const char *o : kOptionsWithValue) {
        if (name == o)
            return true;
    }
    return false;
}

bool isSiteWord(const std::string &word)
{
    if (word.empty() || word.size() > 63)
        return false;
    for (const char c : word) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'))
            return false;
    }
    return true;
}

// "N:MS" with a picture number and a wait.
std::optional<std::pair<int, int>> parseNumberAndDelay(const std::string &text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    const auto number = parseInt(text.substr(0, colon), 1, 999999999);
    const auto delay = parseInt(text.substr(colon + 1), 0, kMaxDelayMs);
    if (!number || !delay)
        return std::nullopt;
    return std::pair{*number, *delay};
}

} // namespace

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
        if (!takesValue(name))
            return fail("unknown option: " + args[i]);
        if (!value) {
            if (i + 1 >= args.size())
                return fail(name + " needs a value");
            value = args[++i];
        }

        if (name == "--port" || name == "--picture-port") {
            const auto port = parseInt(*value, 0, 65535);
            if (!port)
                return fail(name + " needs a number from 0 to 65535, not \"" + *value + "\"");
            (name == "--port" ? o.port : o.picturePort) = *port;
        } else if (name == "--bind") {
            std::string address = *value == "localhost" ? "127.0.0.1" : *value;
            if (!isLoopbackAddress(address))
                return fail("--bind accepts only a loopback address (127.x.x.x or ::1), not \"" + *value + "\"");
            o.bind = std::move(address);
        } else if (name == "--picture-host") {
            if (!isValidHostAndPort(*value))
                return fail("--picture-host needs HOST or HOST:PORT, not \"" + *value + "\"");
            o.pictureHost = *value;
        } else if (name == "--data") {
            if (value->empty() || value->find('\0') != std::string::npos)
                return fail("--data needs a folder");
            o.dataDir = *value;
        } else if (name == "--user") {
            const std::size_t colon = value->find(':');
            if (colon == std::string::npos || colon == 0 || colon + 1 == value->size()
                || colon > 60 || hasControlCharacters(*value, false))
                return fail("--user needs NAME:PASSWORD (both not empty, name up to 60 bytes)");
            o.users.emplace_back(value->substr(0, colon), value->substr(colon + 1));
        } else if (name == "--site") {
            if (!isSiteWord(*value))
                return fail("--site needs a word of lower-case letters, digits and '-', not \"" + *value + "\"");
            o.siteWord = *value;
        } else if (name == "--picture-delay") {
            const auto delay = parseInt(*value, 0, kMaxDelayMs);
            if (!delay)
                return fail("--picture-delay needs milliseconds from 0 to " + std::to_string(kMaxDelayMs));
            o.pictureDelayMs = *delay;
        } else if (name == "--slow-picture") {
            const auto slow = parseNumberAndDelay(*value);
            if (!slow)
                return fail("--slow-picture needs NUMBER:MILLISECONDS (up to " + std::to_string(kMaxDelayMs)
                            + "), not \"" + *value + "\"");
            o.slowPictures[slow->first] = slow->second;
        } else if (name == "--missing-picture") {
            const auto number = parseInt(*value, 1, 999999999);
            if (!number)
                return fail("--missing-picture needs a picture number, not \"" + *value + "\"");
            o.missingPictures.insert(*number);
        } else if (name == "--publish-error") {
            const auto status = parseInt(*value, 500, 599);
            if (!status)
                return fail("--publish-error needs a status from 500 to 599, not \"" + *value + "\"");
            o.publishErrorStatus = *status;
        } else if (name == "--publish-redirect" || name == "--add-picture-redirect") {
            if (!isRedirectTarget(*value))
                return fail(name + " needs an http or https address, not \"" + *value + "\"");
            (name == "--publish-redirect" ? o.publishRedirect : o.addPictureRedirect) = *value;
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
