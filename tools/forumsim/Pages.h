#pragma once

// The simulator's HTML pages, written the way the old forum script writes
// them: tags in capitals, one block element per line, German texts in UTF-8.
// The client finds threads, titles and message boundaries by fixed markers in
// these pages, so their exact shape matters; see README.md.
//
// Every render function expects the caller to hold the store's read lock.

#include "Store.h"

#include <string>
#include <string_view>

namespace forumsim {

inline constexpr int kThreadsPerPage = 20;
inline constexpr const char *kHtmlContentType = "text/html; charset=utf-8";
inline constexpr std::string_view kPageEnd = "</BODY></HTML>\n";

// An answer to a request: status, body and, for redirects, the target.
struct Reply {
    int status = 200;
    std::string body;
    std::string contentType;
    std::string location;
    int delayMs = 0;   // wait this long before answering
    // A forum page that changes only with its messages carries validators
    // (ETag and Last-Modified, the time of its newest message), and a request
    // that names the current ones is answered 304 Not Modified.
    bool validators = false;
    Timestamp lastModified = 0;
};

inline Reply htmlReply(int status, std::string body)
{
    Reply reply;
    reply.status = status;
    reply.body = std::move(body);
    reply.contentType = kHtmlContentType;
    return reply;
}

// 303 See Other to `location` (trusted, like appendLink's), after something
// was saved: a page titled `title` that says `saved` ("Ihr Beitrag ist
// veröffentlicht") followed by ": " and a link `linkText` there.
Reply savedReply(std::string_view title, std::string_view saved, std::string location, std::string_view linkText);
// `status` (a 3xx) to `location`, with a page that says only "Weitergeleitet".
Reply redirectReply(int status, std::string location);

std::string htmlEscape(std::string_view text);
// htmlEscape, and line breaks and tabs as character references, so that a
// value survives a round trip through a hidden form field unchanged.
std::string attributeEscape(std::string_view text);

// Pieces of every page.
std::string pageStart(std::string_view title);   // up to and including the <BODY> line
// A link inside the forum; `href` is trusted (built from words and numbers).
void appendLink(std::string &out, std::string_view href, std::string_view text);
// A link to an address a user gave, escaped, opening in a new window.
void appendLinkTo(std::string &out, std::string_view address, std::string_view text);
// <IMG SRC="address"> with the address escaped; `attributes` (" WIDTH=120",
// ...) are trusted and written as they are.
void appendImage(std::string &out, std::string_view address, std::string_view attributes = {});
// The big centred line with the subject, the one the client reads a
// thread's title from.
void appendTitleLine(std::string &out, const std::string &subject);
void appendWrittenBy(std::string &out, const MessageData &m);   // "Geschrieben von ... am ..."
// "<FONT face=Arial>" + the message's text + "</FONT>".
void appendMessageText(std::string &out, const MessageData &m);
std::string formatShortDate(Timestamp time);   // 18.11.2023, 19:42
std::string formatLongDate(Timestamp time);    // 18. November 2023 um 19:42:10

// Addresses inside the forum.
std::string sectionPath(std::string_view word);               // /cgi-bin/<word>/webbbs_config.pl
std::string indexPagePath(std::string_view word, int page);   // <section>/page/N
std::string messagePath(std::string_view word, int number);   // <section>/read/N
// The whole-thread address as every link writes it, "#N" included: the
// client tells a whole-thread page by the number after the "#".
std::string threadLink(std::string_view word, int root);      // <section>/read/N/thread#N

int indexPageCount(const Section &section);

std::string renderStartPage(const ForumStore &store);
std::string renderFrameDemo(const ForumStore &store);
// `page` counts from 1; a page past the end shows the last page.
std::string renderIndexPage(const ForumStore &store, const Section &section, int page);
std::string renderMessagePage(const ForumStore &store, const Message &message);
std::string renderThreadPage(const ForumStore &store, const Message &root);
std::string renderMessageNotFound(const Section &section);
std::string renderPageNotFound();
std::string renderMethodNotAllowed();
// Fallback for errors the HTTP layer raises itself (oversized requests, ...).
std::string renderErrorPage(int status);

} // namespace forumsim
