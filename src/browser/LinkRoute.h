#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Where a link goes that a page wants opened in a new window or tab: the
// program has no second browser window, so forum pages open in the main
// window and everything else in the desktop's own browser.
namespace tarnvik {

enum class LinkDestination {
    MainWindow,     // a page of the forum
    DesktopBrowser, // any other web address
    Nowhere,        // not http or https: never opened
};

// `forumHost` is the forum's host, optionally with ":port" (as in the
// endpoints); a forum address is on that host and port, over http or https.
LinkDestination linkDestination(const QUrl &url, const QString &forumHost);

// Shows a forum page in the main window. The main window puts its opener in
// place while it exists; an empty one removes it. Returns the one it replaces.
using ForumPageOpener = std::function<void(const QUrl &)>;
ForumPageOpener setForumPageOpener(ForumPageOpener opener);

// Opens `url` where `linkDestination` sends it (for the configured forum
// host). A forum page goes to the main window's opener, or to `fallback`
// while there is none; another web address to the desktop's browser.
// Returns where it went.
LinkDestination openNewWindowLink(const QUrl &url, const std::function<void(const QUrl &)> &fallback);

} // namespace tarnvik
