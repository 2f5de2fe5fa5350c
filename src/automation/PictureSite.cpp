#include "automation/PictureSite.h"

#include "state/Endpoints.h"

#include <QUrl>
#include <QUrlQuery>

namespace tarnvik::picturesite {

namespace {
const QLatin1String kPicturePage("/ASP/Bld_D.asp?id=");
// More digits than this are no picture number of the site.
constexpr qsizetype kMaxDigits = 9;
} // namespace

QString address(const QString &path)
{
    return QStringLiteral("http://") + endpoints().pictureHost + path;
}

QString addPicturePage()
{
    return address(QStringLiteral("/ASP/Bld_Anlegen.asp"));
}

QString newPicturesPage()
{
    return address(QStringLiteral("/ASP/Bld_Neuzugang.asp"));
}

bool isPicturePage(const QString &pageAddress)
{
    return pageAddress.contains(address(kPicturePage));
}

std::optional<QString> pictureNumber(const QString &pageAddress)
{
    const qsizetype start = pageAddress.indexOf(address(kPicturePage));
    if (start < 0)
        return std::nullopt;
    // The query of the picture page, up to a fragment.
    QString query = pageAddress.mid(start + address(kPicturePage).size() - 3);
    const qsizetype hash = query.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        query.truncate(hash);
    const QString value = QUrlQuery(query).queryItemValue(QStringLiteral("id"), QUrl::FullyDecoded);
    if (value.isEmpty() || value.size() > kMaxDigits)
        return std::nullopt;
    for (const QChar c : value) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    return value;
}

QList<FormStep> addPictureSteps(const QString &name, const QString &password)
{
    return {FormStep::setValue(1, name), FormStep::setValue(2, password)};
}

QList<FormStep> picturePageSteps(const QString &password)
{
    return {FormStep::setValue(0, password), FormStep::click(1)};
}

} // namespace tarnvik::picturesite
