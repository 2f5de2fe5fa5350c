#pragma once

// Which page answers which address, and the HTTP server's setup around it.
//
// Dispatch is done here by splitting the path, not with the HTTP library's
// regular-expression routes: those recurse per character and can overflow
// the stack on long addresses.

#include "Store.h"

#include <string>
#include <string_view>

namespace httplib {
class Server;
}

namespace forumsim {

struct Reply {
    int status = 200;
    std::string body;
    std::string contentType;
};

// The answer to a GET (or HEAD) of `path` (decoded, without query).
// Takes the store's read lock itself.
Reply handleGet(const ForumStore &store, std::string_view path);

// Request limits, socket options, error pages and the routes. `store` must
// outlive the server.
void configureServer(httplib::Server &server, const ForumStore &store);

} // namespace forumsim
