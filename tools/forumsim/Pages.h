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

std::string htmlEscape(std::string_view text);
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
// `page` counts from 1; a page past the end says that there is nothing more.
std::string renderIndexPage(const ForumStore &store, const Section &section, int page);
std::string renderMessagePage(const ForumStore &store, const Message &message);
std::string renderThreadPage(const ForumStore &store, const Message &root);
std::string renderMessageNotFound(const Section &section);
std::string renderPageNotFound();
std::string renderMethodNotAllowed();
// Fallback for errors the HTTP layer raises itself (oversized requests, ...).
std::string renderErrorPage(int status);

} // namespace forumsim
