#include "browser/LinkRoute.h"

#include "state/Endpoints.h"

#include <QDesktopServices>

namespace tarnvik {

namespace {
ForumPageOpener &forumPageOpener()
{
    static ForumPageOpener opener;
    return opener;
}

int defaultPort(const QString &scheme)
{
    return scheme == QLatin1String("https") ? 443 : 80;
}
} // namespace

LinkDestination linkDestination(const QUrl &url, const QString &forumHost)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return LinkDestination::Nowhere;
    // The forum host as a URL of the same scheme, so that a missing port
    // means the scheme's own on both sides.
    const QUrl forum(scheme + QStringLiteral("://") + forumHost.trimmed());
    if (forum.isValid() && !forum.host().isEmpty() && url.host() == forum.host()
        && url.port(defaultPort(scheme)) == forum.port(defaultPort(scheme)))
        return LinkDestination::MainWindow;
    return LinkDestination::DesktopBrowser;
}

ForumPageOpener setForumPageOpener(ForumPageOpener opener)
{
    ForumPageOpener previous = std::move(forumPageOpener());
    forumPageOpener() = std::move(opener);
    return previous;
}

LinkDestination openNewWindowLink(const QUrl &url, const std::function<void(const QUrl &)> &fallback)
{
    const LinkDestination destination = linkDestination(url, endpoints().forumHost);
    switch (destination) {
    case LinkDestination::MainWindow:
        if (const ForumPageOpener &opener = forumPageOpener())
            opener(url);
        else if (fallback)
            fallback(url);
        break;
    case LinkDestination::DesktopBrowser:
        QDesktopServices::openUrl(url);
        break;
    case LinkDestination::Nowhere:
        break;
    }
    return destination;
}

} // namespace tarnvik
