#pragma once

// The forum's markup, turned into HTML when a page shows a post.
//
// A post's body arrives exactly as the user typed it, markup included:
// [b] [i] [red] [center] [big] [code] with their closing tags, [List] with
// [*] items, the entity-escaped "&lt;sup&gt;"/"&lt;sub&gt;" tags, links
// written as "&lt;a href="ADDR" target="_blank"&gt;LABEL&lt;/a&gt;" and
// pictures written as "&lt;img src='ADDR' border='3'&gt;" (also with double
// quotes and Width/Height). Everything else is shown as text: the body is
// HTML-escaped first, and only well-formed, properly nested markup with safe
// addresses becomes tags. Unbalanced or unknown tags stay visible.
//
// The result continues a "<P><FONT face=Arial>" that the page has opened and
// leaves one open for the page's "</FONT></P>" to close. Block markup
// (centred text, lists) closes that paragraph and opens a fresh one after
// itself, so that a browser builds exactly the tree the page's source shows
// and the message still ends in "</FONT></P>". Lines stay lines: each line
// break becomes "<BR>" and a line break of the page source.

#include <string>
#include <string_view>

namespace forumsim {

std::string renderMarkup(std::string_view body);

// An absolute address the forum links to or shows a picture from: http or
// https (and ftp when `allowFtp`), a host, printable ASCII without blanks,
// quotes or angle brackets, at most 2048 characters.
bool isSafeAddress(std::string_view address, bool allowFtp);

} // namespace forumsim
