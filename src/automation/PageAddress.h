#pragma once

#include <QString>
#include <QUrl>

// Which page a window is on, decided on parsed addresses: the user's name and
// password go only into pages of the configured servers, never into a page
// whose address merely contains theirs.
namespace tarnvik::pageaddress {

// "http://<host>" followed by `path`; `host` is a host name with an optional
// ":port", as the endpoints give it.
QUrl onServer(const QString &host, const QString &path);

// Whether `page` is the page `expected` names: the same scheme, host, port
// (an absent port counts as the scheme's own) and path, letter case of the
// path included. Query and fragment are not looked at.
bool isPage(const QUrl &page, const QUrl &expected);

// Whether `text` is a message or picture number as addresses carry them:
// 1 to 9 digits.
bool isNumber(QStringView text);

} // namespace tarnvik::pageaddress
