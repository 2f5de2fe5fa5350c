#pragma once

// Which page answers which address on the forum and the picture server, and
// the HTTP servers' setup around them.
//
// GET and HEAD are dispatched here by splitting the path, not with the HTTP
// library's regular-expression routes: those recurse per character and can
// overflow the stack on long addresses. POST reaches the library's routes
// only for the few exact paths that take a form.

#include "Pages.h"
#include "Store.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace httplib {
class Server;
}

namespace forumsim {

class PictureStore;
class PostingDesk;

// The answer to a GET (or HEAD) of `path` (decoded, without query).
// Takes the store's read lock itself.
Reply handleGet(const ForumStore &store, std::string_view path);

// The picture server's answer to a GET (or HEAD); `id` is the query's "id"
// parameter (empty when absent). The reply's delayMs says how long to wait.
Reply handlePictureGet(PictureStore &pictures, std::string_view path, std::string_view id,
                       std::string_view pictureHost);

// Worker pool, timeouts, limits and socket options; before binding.
void applyServerSettings(httplib::Server &server, std::size_t maxPayload);
inline constexpr std::size_t kMaxWorkerThreads = 256;

// The routes; after binding, before listening. The referenced objects must
// outlive the server.
void addForumRoutes(httplib::Server &server, const ForumStore &store, PostingDesk &desk);
// With `addPictureRedirect` set, the add-picture page answers 302 to it.
void addPictureRoutes(httplib::Server &server, PictureStore &pictures, std::string pictureHost,
                      std::string addPictureRedirect = {});

} // namespace forumsim
