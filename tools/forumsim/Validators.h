#pragma once

// Validators of the forum's pages, so that a client that asks again whether
// a page changed gets a 304 without the page when it did not.

#include "Store.h"

#include <optional>
#include <string>
#include <string_view>

namespace forumsim {

// A strong tag from the page's bytes (FNV-1a): the same page, the same tag.
std::string entityTag(std::string_view body);
// "Sun, 06 Nov 1994 08:49:37 GMT"
std::string httpDate(Timestamp time);
std::optional<Timestamp> parseHttpDate(const std::string &text);
// Whether a conditional request names the page as the client has it:
// If-None-Match (a list of tags, or "*") decides where it is given, else
// If-Modified-Since.
bool notModified(const std::optional<std::string> &ifNoneMatch, const std::string &ifModifiedSince,
                 std::string_view tag, Timestamp lastModified);

} // namespace forumsim
