#include "automation/PageAddress.h"

namespace tarnvik::pageaddress {

namespace {
int portOf(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.port(scheme == QLatin1String("http") ? 80 : scheme == QLatin1String("https") ? 443 : -1);
}
} // namespace

QUrl onServer(const QString &host, const QString &path)
{
    return QUrl(QStringLiteral("http://") + host + path, QUrl::StrictMode);
}

bool isPage(const QUrl &page, const QUrl &expected)
{
    if (!page.isValid() || !expected.isValid() || page.scheme().isEmpty())
        return false;
    return page.scheme() == expected.scheme() && page.host() == expected.host() && portOf(page) == portOf(expected)
           && page.path() == expected.path();
}

bool isNumber(QStringView text)
{
    // More digits than this are no number of the forum or the picture site.
    constexpr qsizetype kMaxDigits = 9;
    if (text.isEmpty() || text.size() > kMaxDigits)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace tarnvik::pageaddress
