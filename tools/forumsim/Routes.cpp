#include "Routes.h"

#include "PicturePages.h"
#include "Pictures.h"
#include "Posting.h"
#include "Text.h"
#include "Validators.h"
#include "WorkerPool.h"

#include <httplib.h>

#include <sys/socket.h>

#include <chrono>
#include <climits>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace forumsim {

namespace {

constexpr std::size_t kMaxSegments = 16;
// A request body that is refused is still read (and thrown away) up to this
// much, so that the browser gets to see the error page instead of a reset.
constexpr std::size_t kMaxDrained = 32 * 1024 * 1024;
constexpr std::size_t kMaxPictureFormField = 4 * 1024;
constexpr std::size_t kMaxPictureParts = 16;

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
    return parseDecimal(text).value_or(0);
}

// An index page number. Anything that is not a positive number gives page 1;
// a number too large to hold lands past the last page (which shows the last).
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
    return htmlReply(status, std::move(body));
}

// The time of the newest message in the threads under `roots`.
Timestamp newestTime(const ForumStore &store, std::span<const int> roots)
{
    Timestamp newest = 0;
    for (const int root : roots) {
        for (const TreeEntry &e : store.threadTree(root))
            newest = std::max(newest, e.message->time);
    }
    return newest;
}

Reply withValidators(Reply reply, Timestamp lastModified)
{
    reply.validators = true;
    reply.lastModified = lastModified;
    return reply;
}

Reply indexPage(const ForumStore &store, const Section &section, int page)
{
    page = std::clamp(page, 1, indexPageCount(section));
    const std::span<const int> all(section.threads);
    const std::size_t first = std::min(all.size(), static_cast<std::size_t>(page - 1) * kThreadsPerPage);
    const auto onPage = all.subspan(first, std::min<std::size_t>(kThreadsPerPage, all.size() - first));
    return withValidators(html(200, renderIndexPage(store, section, page)), newestTime(store, onPage));
}

Reply forumPage(const ForumStore &store, const Section &section,
                const std::vector<std::string_view> &rest)
{
    if (rest.empty())
        return indexPage(store, section, 1);
    if (rest[0] == "page" && rest.size() == 2)
        return indexPage(store, section, parsePageNumber(rest[1]));
    if (rest[0] == "read" && (rest.size() == 2 || (rest.size() == 3 && rest[2] == "thread"))) {
        const bool wholeThread = rest.size() == 3;
        const Message *m = store.message(parseNumber(rest[1]));
        const bool found = m && store.sections().at(std::size_t(m->section)).word == section.word
                           && (!wholeThread || m->parent == 0);
        if (!found)
            return html(404, renderMessageNotFound(section));
        const int roots[] = {m->root};
        return withValidators(html(200, wholeThread ? renderThreadPage(store, *m) : renderMessagePage(store, *m)),
                              newestTime(store, roots));
    }
    return html(404, renderPageNotFound());
}

void sendReply(const Reply &reply, httplib::Response &res)
{
    res.status = reply.status;
    res.set_content(reply.body, reply.contentType.c_str());
    if (!reply.location.empty())
        res.set_header("Location", reply.location);
}

// A page with validators goes out whole, or as 304 without a body when the
// client already has it.
void sendPage(const httplib::Request &req, const Reply &reply, httplib::Response &res)
{
    if (!reply.validators) {
        sendReply(reply, res);
        return;
    }
    const std::string tag = entityTag(reply.body);
    res.set_header("ETag", tag);
    res.set_header("Last-Modified", httpDate(reply.lastModified));
    std::optional<std::string> ifNoneMatch;
    if (req.has_header("If-None-Match"))
        ifNoneMatch = req.get_header_value("If-None-Match");
    if (notModified(ifNoneMatch, req.get_header_value("If-Modified-Since"), tag, reply.lastModified))
        res.status = 304;
    else
        sendReply(reply, res);
}

// Answers uncompressed, as the old forum script did. The library would
// otherwise compress for clients that accept it, and its brotli setting takes
// most of a minute for a large thread page. It only decides from the
// request's header, so drop that; the request object is the library's own
// mutable one, lent to us as const.
void dropAcceptEncoding(const httplib::Request &req)
{
    const_cast<httplib::Request &>(req).headers.erase("Accept-Encoding");
}

void methodNotAllowed(httplib::Response &res, const char *allow)
{
    res.status = 405;
    res.set_header("Allow", allow);
    res.set_header("Connection", "close");   // the unread body must not pose as the next request
    res.set_content(renderMethodNotAllowed(), kHtmlContentType);
}

// An exact path as a regular expression for the library's POST routes.
std::string literalPattern(std::string_view path)
{
    std::string out;
    for (const char c : path) {
        if (std::string_view(".^$|()[]{}*+?\\").find(c) != std::string_view::npos)
            out += '\\';
        out += c;
    }
    return out;
}

// Reads an urlencoded or plain body of at most `limit` bytes; more is read
// and thrown away (up to kMaxDrained) and reported as too large.
struct BodyRead {
    std::string body;
    bool complete = false;
    bool tooLarge = false;
    bool multipart = false;
};

BodyRead readBody(const httplib::Request &req, httplib::Response &res, const httplib::ContentReader &reader,
                  std::size_t limit)
{
    BodyRead read;
    std::size_t drained = 0;
    auto drain = [&](std::size_t n) {
        drained += n;
        return drained <= kMaxDrained;
    };
    if (req.is_multipart_form_data()) {
        read.multipart = true;
        read.complete = reader([](const httplib::MultipartFormData &) { return true; },
                               [&](const char *, std::size_t n) { return drain(n); });
        return read;
    }
    read.complete = reader([&](const char *data, std::size_t n) {
        if (read.tooLarge || read.body.size() + n > limit) {
            read.tooLarge = true;
            return drain(n);
        }
        read.body.append(data, n);
        return true;
    });
    if (res.status == 413)
        read.tooLarge = true;
    return read;
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

Reply handlePictureGet(PictureStore &pictures, std::string_view path, std::string_view id,
                       std::string_view pictureHost)
{
    const auto notFound = [] {
        return pictureErrorReply(404, "Bild nicht gefunden", "Ein Bild mit dieser Nummer gibt es nicht.");
    };
    if (path == "/")
        return html(200, renderPictureStart());
    if (path == kUploadPath)
        return html(200, renderUploadForm());
    if (path == kNewestPath)
        return html(200, renderNewestPictures(pictures.newest(20, 6)));
    if (path == kPicturePagePath) {
        const auto number = parseDecimal(id);
        const auto picture = number ? pictures.info(*number) : std::nullopt;
        if (!picture)
            return notFound();
        return html(200, renderPicturePage(*picture, pictureHost));
    }
    if (const auto number = pictureFileNumber(path)) {
        if (*number == 0)
            return notFound();
        ServedPicture served = pictures.picture(*number);
        Reply reply = notFound();
        if (served.status == 200) {
            reply.status = 200;
            reply.body = std::move(served.bytes);
            reply.contentType = contentTypeOf(served.type);
        }
        reply.delayMs = served.delayMs;
        return reply;
    }
    return pictureErrorReply(404, "Seite nicht gefunden", "Unter dieser Adresse gibt es keine Seite.");
}

void applyServerSettings(httplib::Server &server, std::size_t maxPayload)
{
    // A worker per open connection, started as needed: connections that
    // trickle their request in do not hold up the others.
    server.new_task_queue = [] { return new WorkerPool(kMaxWorkerThreads); };
    server.set_payload_max_length(maxPayload);
    server.set_read_timeout(5);
    server.set_write_timeout(10);
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
    // Errors raised by the library itself (bad request line, too long an
    // address, too large a body) get a page like every other answer.
    server.set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (res.body.empty())
            res.set_content(renderErrorPage(res.status), kHtmlContentType);
    });
    server.set_exception_handler([](const httplib::Request &, httplib::Response &res, std::exception_ptr) {
        res.status = 500;
        res.set_content(renderErrorPage(500), kHtmlContentType);
    });
}

void addForumRoutes(httplib::Server &server, const ForumStore &store, PostingDesk &desk)
{
    std::vector<std::string> words;
    std::vector<std::string> scripts;
    {
        const auto lock = store.readLock();
        for (const Section &s : store.sections()) {
            words.push_back(s.word);
            scripts.push_back(sectionPath(s.word));
        }
    }
    auto isScript = [scripts](const std::string &path) {
        for (const std::string &s : scripts) {
            if (path == s)
                return true;
        }
        return false;
    };

    server.set_pre_routing_handler([&store, isScript](const httplib::Request &req, httplib::Response &res) {
        dropAcceptEncoding(req);
        if (req.method == "GET" || req.method == "HEAD") {
            sendPage(req, handleGet(store, req.path), res);
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.method == "POST" && isScript(req.path))
            return httplib::Server::HandlerResponse::Unhandled;
        methodNotAllowed(res, isScript(req.path) ? "GET, HEAD, POST" : "GET, HEAD");
        return httplib::Server::HandlerResponse::Handled;
    });

    for (std::size_t i = 0; i < words.size(); ++i) {
        server.Post(literalPattern(scripts[i]), [&desk, word = words[i]](const httplib::Request &req,
                                                                        httplib::Response &res,
                                                                        const httplib::ContentReader &reader) {
            const BodyRead read = readBody(req, res, reader, kMaxPostRequestBytes);
            Reply reply;
            if (read.multipart)
                reply = PostingDesk::errorReply(415, "Das Formular kam in einer unbekannten Form an.", word);
            else if (read.tooLarge)
                reply = PostingDesk::errorReply(413, "Der Beitrag ist zu groß für das Forum (höchstens 1 MB je "
                                                     "Formular, 64 KiB Text).", word);
            else if (!read.complete)
                reply = PostingDesk::errorReply(400, "Das Formular kam nicht vollständig an.", word);
            else
                reply = desk.handlePost(word, req.get_header_value("Content-Type"), read.body);
            sendReply(reply, res);
            if (!read.complete || read.tooLarge)
                res.set_header("Connection", "close");
        });
    }
}

void addPictureRoutes(httplib::Server &server, PictureStore &pictures, std::string pictureHost,
                      std::string addPictureRedirect)
{
    server.set_pre_routing_handler([&pictures, pictureHost, addPictureRedirect](const httplib::Request &req,
                                                                               httplib::Response &res) {
        dropAcceptEncoding(req);
        if ((req.method == "GET" || req.method == "HEAD") && req.path == kUploadPath && !addPictureRedirect.empty()) {
            sendReply(redirectReply(302, addPictureRedirect), res);
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.method == "GET" || req.method == "HEAD") {
            const Reply reply = handlePictureGet(pictures, req.path, req.get_param_value("id"), pictureHost);
            if (reply.delayMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
            sendReply(reply, res);
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.method == "POST" && (req.path == kUploadPath || req.path == kPicturePagePath))
            return httplib::Server::HandlerResponse::Unhandled;
        methodNotAllowed(res, "GET, HEAD");
        return httplib::Server::HandlerResponse::Handled;
    });

    server.Post(literalPattern(kUploadPath), [&pictures](const httplib::Request &req, httplib::Response &res,
                                                         const httplib::ContentReader &reader) {
        constexpr std::string_view heading = "Fehler beim Hochladen";
        struct Part {
            std::string name;
            std::string content;
            bool overflow = false;
        };
        std::vector<Part> parts;
        bool tooManyParts = false;
        std::size_t drained = 0;
        bool complete = false;
        if (req.is_multipart_form_data()) {
            complete = reader(
                [&](const httplib::MultipartFormData &header) {
                    if (parts.size() >= kMaxPictureParts) {
                        tooManyParts = true;
                        return false;
                    }
                    parts.push_back({header.name, {}});
                    return true;
                },
                [&](const char *data, std::size_t n) {
                    Part &part = parts.back();
                    const std::size_t limit = part.name == "datei" ? kMaxPictureBytes : kMaxPictureFormField;
                    if (part.overflow || part.content.size() + n > limit) {
                        part.overflow = true;
                        drained += n;
                        return drained <= kMaxDrained;
                    }
                    part.content.append(data, n);
                    return true;
                });
        } else {
            const BodyRead read = readBody(req, res, reader, 0);
            (void)read;
            sendReply(pictureErrorReply(400, heading, "Das Bild muss über das Formular als Datei gesendet werden."),
                      res);
            res.set_header("Connection", "close");
            return;
        }
        auto part = [&](std::string_view name) -> Part * {
            for (Part &p : parts) {
                if (p.name == name)
                    return &p;
            }
            return nullptr;
        };
        Part *file = part("datei");
        Reply reply;
        if (res.status == 413 || (file && file->overflow))
            reply = pictureErrorReply(413, heading, "Das Bild ist zu groß: höchstens 10 MB sind erlaubt.");
        else if (tooManyParts || !complete)
            reply = pictureErrorReply(400, heading, "Das Formular kam nicht vollständig an.");
        else if (std::any_of(parts.begin(), parts.end(), [](const Part &p) { return p.overflow; }))
            reply = pictureErrorReply(400, heading, "Ein Feld des Formulars ist zu lang.");
        else {
            const Part *title = part("titel");
            const Part *name = part("name");
            const Part *password = part("passwort");
            UploadOutcome outcome =
                pictures.upload(title ? title->content : std::string(), name ? name->content : std::string(),
                                password ? password->content : std::string(),
                                file ? std::move(file->content) : std::string());
            if (outcome.number == 0) {
                reply = pictureErrorReply(outcome.status, heading, outcome.message);
            } else {
                reply = savedReply("Bild gespeichert", "Das Bild ist gespeichert", picturePagePath(outcome.number),
                                   "Bild " + std::to_string(outcome.number));
            }
        }
        sendReply(reply, res);
        if (!complete || res.status == 413)
            res.set_header("Connection", "close");
    });

    server.Post(literalPattern(kPicturePagePath), [&pictures, pictureHost](const httplib::Request &req,
                                                                          httplib::Response &res,
                                                                          const httplib::ContentReader &reader) {
        const BodyRead read = readBody(req, res, reader, kMaxPictureFormField);
        const auto number = parseDecimal(req.get_param_value("id"));
        const auto picture = number ? pictures.info(*number) : std::nullopt;
        Reply reply;
        if (read.multipart || read.tooLarge || !read.complete) {
            reply = pictureErrorReply(400, "Anmeldung fehlgeschlagen", "Das Formular kam nicht vollständig an.");
        } else if (!picture) {
            reply = pictureErrorReply(404, "Bild nicht gefunden", "Ein Bild mit dieser Nummer gibt es nicht.");
        } else {
            const auto fields = parseUrlEncoded(read.body, 16);
            const std::string password = fields ? fieldText(*fields, "passwort") : std::string();
            const LoginOutcome outcome = pictures.login(*picture, password);
            if (outcome == LoginOutcome::WrongPassword)
                reply = pictureErrorReply(403, "Anmeldung fehlgeschlagen",
                                          "Das Passwort gehört nicht zum Besitzer dieses Bildes.");
            else
                reply = html(200, renderOwnerView(*picture, pictureHost, outcome));
        }
        sendReply(reply, res);
        if (!read.complete || read.tooLarge)
            res.set_header("Connection", "close");
    });
}

} // namespace forumsim
