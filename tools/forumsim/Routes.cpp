#include "Routes.h"

#include "Pages.h"

#include <httplib.h>

#include <sys/socket.h>

#include <charconv>
#include <climits>
#include <vector>

namespace forumsim {

namespace {

constexpr std::size_t kMaxPayload = 64 * 1024;
constexpr std::size_t kMaxSegments = 16;

// Splits "/a/b/c" into {"a", "b", "c"}. An empty result for "/"; more than
// kMaxSegments parts are not split further (no route is that long).
std::vector<std::string_view> splitPath(std::string_view path)
{
    std::vector<std::string_view> parts;
    if (path.starts_with('/'))
        path.remove_prefix(1);
    while (!path.empty() && parts.size() <= kMaxSegments) {
        const std::size_t slash = path.find('/');
        parts.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
        if (path.empty())
            parts.push_back({});   // trailing slash
    }
    return parts;
}

// A message number: 1 to 9 digits, nothing else. 0 when the text is none.
int parseNumber(std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return 0;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0)
        return 0;
    return value;
}

// An index page number. Anything that is not a positive number gives page 1;
// a number too large to hold lands past the last page.
int parsePageNumber(std::string_view text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return 1;
    while (text.size() > 1 && text.front() == '0')
        text.remove_prefix(1);
    if (text.size() > 9)
        return INT_MAX / 2;
    const int value = parseNumber(text);
    return value > 0 ? value : 1;
}

Reply html(int status, std::string body)
{
    return {status, std::move(body), kHtmlContentType};
}

Reply forumPage(const ForumStore &store, const Section &section,
                const std::vector<std::string_view> &rest)
{
    if (rest.empty())
        return html(200, renderIndexPage(store, section, 1));
    if (rest[0] == "page" && rest.size() == 2)
        return html(200, renderIndexPage(store, section, parsePageNumber(rest[1])));
    if (rest[0] == "read" && (rest.size() == 2 || (rest.size() == 3 && rest[2] == "thread"))) {
        const bool wholeThread = rest.size() == 3;
        const Message *m = store.message(parseNumber(rest[1]));
        const bool found = m && store.sections().at(std::size_t(m->section)).word == section.word
                           && (!wholeThread || m->parent == 0);
        if (!found)
            return html(404, renderMessageNotFound(section));
        return html(200, wholeThread ? renderThreadPage(store, *m) : renderMessagePage(store, *m));
    }
    return html(404, renderPageNotFound());
}

} // namespace

Reply handleGet(const ForumStore &store, std::string_view path)
{
    const auto lock = store.readLock();
    const std::vector<std::string_view> parts = splitPath(path);
    if (parts.empty())
        return html(200, renderStartPage(store));
    if (parts.size() == 2 && parts[0] == "frames" && parts[1] == "demo")
        return html(200, renderFrameDemo(store));
    if (parts.size() >= 3 && parts[0] == "cgi-bin" && parts[2] == "webbbs_config.pl") {
        if (const Section *section = store.section(parts[1]))
            return forumPage(store, *section, {parts.begin() + 3, parts.end()});
    }
    return html(404, renderPageNotFound());
}

void configureServer(httplib::Server &server, const ForumStore &store)
{
    server.set_payload_max_length(kMaxPayload);
    server.set_read_timeout(10);
    server.set_write_timeout(30);
    server.set_keep_alive_max_count(1000);
    server.set_tcp_nodelay(true);   // head and body go out in separate writes
    // Idle connections are only dropped after this timeout, and stopping waits
    // for them: keep it short so that SIGTERM ends the server at once.
    server.set_keep_alive_timeout(1);
    // The library's default also sets SO_REUSEPORT, which would let a second
    // simulator start on a port that is in use instead of failing.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    server.set_pre_routing_handler([&store](const httplib::Request &req, httplib::Response &res) {
        // Answers go out uncompressed, as the old forum script sent them. The
        // library would otherwise compress for clients that accept it, and its
        // brotli setting takes most of a minute for a large thread page. It
        // only decides from the request's header, so drop that; the request
        // object is the library's own mutable one, lent to us as const.
        const_cast<httplib::Request &>(req).headers.erase("Accept-Encoding");

        if (req.method == "GET" || req.method == "HEAD") {
            Reply reply = handleGet(store, req.path);
            res.status = reply.status;
            res.set_content(std::move(reply.body), reply.contentType.c_str());
        } else {
            res.status = 405;
            res.set_header("Allow", "GET, HEAD");
            res.set_header("Connection", "close");   // the unread body must not pose as the next request
            res.set_content(renderMethodNotAllowed(), kHtmlContentType);
        }
        return httplib::Server::HandlerResponse::Handled;
    });

    // Errors raised by the library itself (bad request line, too long an
    // address, too large a body) get a page like every other answer.
    server.set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (res.body.empty())
            res.set_content(renderErrorPage(res.status), kHtmlContentType);
    });
    server.set_exception_handler(
        [](const httplib::Request &, httplib::Response &res, std::exception_ptr) {
            res.status = 500;
            res.set_content(renderErrorPage(500), kHtmlContentType);
        });
}

} // namespace forumsim
