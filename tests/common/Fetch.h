#pragma once

// The body of an address, fetched past the browser (a page or a picture the
// simulator serves), for suites that check what a server holds.
#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>
#include <QUrl>

inline QByteArray fetch(const QUrl &url)
{
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(url));
    if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 15000))
        return {};
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return body;
}
