#include "automation/PictureSite.h"

#include "automation/PageAddress.h"
#include "state/Endpoints.h"

#include <QUrl>
#include <QUrlQuery>

namespace tarnvik::picturesite {

namespace {
const QLatin1String kAddPicturePage("/ASP/Bld_Anlegen.asp");
const QLatin1String kPicturePage("/ASP/Bld_D.asp");
} // namespace

QString address(const QString &path)
{
    return QStringLiteral("http://") + endpoints().pictureHost + path;
}

QString addPicturePage()
{
    return address(kAddPicturePage);
}

QString newPicturesPage()
{
    return address(QStringLiteral("/ASP/Bld_Neuzugang.asp"));
}

bool isAddPicturePage(const QString &pageAddress)
{
    return pageaddress::isPage(QUrl(pageAddress), pageaddress::onServer(endpoints().pictureHost, kAddPicturePage));
}

bool isPicturePage(const QString &pageAddress)
{
    return pageaddress::isPage(QUrl(pageAddress), pageaddress::onServer(endpoints().pictureHost, kPicturePage));
}

std::optional<QString> pictureNumber(const QString &pageAddress)
{
    if (!isPicturePage(pageAddress))
        return std::nullopt;
    const QString value = QUrlQuery(QUrl(pageAddress)).queryItemValue(QStringLiteral("id"), QUrl::FullyDecoded);
    if (!pageaddress::isNumber(value))
        return std::nullopt;
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
