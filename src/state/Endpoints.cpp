#include "state/Endpoints.h"

namespace tarnvik {

namespace {
Endpoints &current()
{
    static Endpoints value{QStringLiteral(TARNVIK_FORUM_HOST), QStringLiteral(TARNVIK_PICTURE_HOST),
                           QStringLiteral(TARNVIK_FORUM_SITE_WORD)};
    return value;
}
} // namespace

const Endpoints &endpoints()
{
    return current();
}

void setEndpoints(const Endpoints &value)
{
    current() = value;
}

QString forumSectionAddress(ForumKind section)
{
    const char *word = nullptr;
    switch (section) {
    case Forums::HandTools: word = "forum"; break;
    case Forums::Machines: word = "holzbearbeitungsmaschinen"; break;
    default: return {};
    }
    return QStringLiteral("http://%1/cgi-bin/%2/webbbs_config.pl").arg(current().forumHost, QLatin1String(word));
}

QString pictureAddress(const QString &pictureId)
{
    return QStringLiteral("http://%1/Bilder/B%2.jpg").arg(current().pictureHost, pictureId);
}

} // namespace tarnvik
