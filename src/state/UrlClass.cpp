#include "state/UrlClass.h"

#include <algorithm>

namespace {
bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

UrlClass classifyAddress(const QString &url)
{
    UrlClass result;
    if (url.contains(QLatin1String("/holzbearbeitungsmaschinen/")))
        result.forum = Forums::Machines;
    if (url.contains(QLatin1String("/forum/")))
        result.forum = Forums::HandTools;
    if (url.contains(QLatin1String("/marktplatz/")))
        result.forum = Forums::Market;
    if (result.forum == Forums::None)
        return result;
    result.hasRead = url.contains(QLatin1String("/read/"));
    if (!result.hasRead)
        return result;

    // The tail is the last character and the run of digits before it; the
    // first character of the address is never taken into it.
    const qsizetype last = url.size() - 1;
    qsizetype p = last - 1;
    while (p > 0 && isDigit(url[p]))
        --p;
    if (p < 0)
        p = 0;
    result.numberAfterHash = url[p] == QLatin1Char('#');
    const QString tail = url.mid(p + 1);
    bool ok = false;
    const qlonglong value = tail.size() <= 18 ? tail.toLongLong(&ok) : 0;
    const bool allDigits = std::all_of(tail.cbegin(), tail.cend(), isDigit);
    result.threadNumber = (ok && allDigits && value <= 2147483647LL) ? qint32(value) : 0;
    return result;
}

namespace tarnvik {
QString lowerAscii(const QString &text)
{
    QString result = text;
    for (QChar &c : result) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return result;
}

} // namespace tarnvik
