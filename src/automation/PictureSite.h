#pragma once

#include "browser/FormStep.h"

#include <QList>
#include <QString>

#include <optional>

// The picture site as the upload window sees it: its start pages, how a
// picture's own page is recognised and its number read, and what goes into
// its forms.
namespace tarnvik::picturesite {

// "http://<picture host>" followed by the path.
QString address(const QString &path);
QString addPicturePage();   // the form for adding a picture
QString newPicturesPage();  // the list of newly added pictures

// Whether `address` is the add-picture page of the picture host: scheme,
// host, port and path as configured, compared parsed (see PageAddress.h).
bool isAddPicturePage(const QString &address);

// Whether `address` is a picture's own page: "/ASP/Bld_D.asp" (letter case
// counts) on the picture host, compared the same way; the number is not
// looked at.
bool isPicturePage(const QString &address);

// The picture number of such a page: the value of its "id" parameter, which
// must be digits ("…?id=77&x=5" gives 77). Nothing when there is none or
// the address is no picture page.
std::optional<QString> pictureNumber(const QString &address);

// Name into element 1 and password into element 2 of the add-picture form.
QList<FormStep> addPictureSteps(const QString &name, const QString &password);
// Password into element 0 of a picture page's form, then element 1 clicked.
QList<FormStep> picturePageSteps(const QString &password);

} // namespace tarnvik::picturesite
