#pragma once

#include <QString>
#include <QtGlobal>

using ForumKind = quint8;

// The forum sections an address can belong to, by the marker in its path.
namespace Forums {
constexpr ForumKind HandTools = 0; // "/forum/"
constexpr ForumKind Machines = 1;  // "/holzbearbeitungsmaschinen/"
constexpr ForumKind Market = 2;    // "/marktplatz/"
constexpr ForumKind None = 3;
} // namespace Forums

namespace tarnvik {

// The two servers the program talks to. They are built in (CMake cache
// variables); only the test suites point them elsewhere, at a simulator on a
// free port.
struct Endpoints {
    QString forumHost;     // host, optionally with ":port"
    QString pictureHost;   // host, optionally with ":port"
    QString forumSiteWord; // the site word the posting form carries
};

const Endpoints &endpoints();
void setEndpoints(const Endpoints &value);

// "http://host/cgi-bin/<word>/webbbs_config.pl" for the two sections that
// have a command of their own; empty for the others.
QString forumSectionAddress(ForumKind section);

// "http://host/Bilder/B<id>.jpg" on the picture server.
QString pictureAddress(const QString &pictureId);

} // namespace tarnvik
