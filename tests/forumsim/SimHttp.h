#pragma once

// Asking the simulator over HTTP, as a browser would, and reading its pages.

#include <QEventLoop>
#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>

struct Page {
    int status = 0;
    QByteArray contentType;
    QByteArray contentEncoding;
    QByteArray location;
    QByteArray body;
    qint64 contentLength = -1;
};

inline QByteArray titleOf(const QByteArray &body)
{
    const int start = body.indexOf("<TITLE>");
    const int end = body.indexOf("</TITLE>");
    return start < 0 || end < start ? QByteArray() : body.mid(start + 7, end - start - 7);
}

// Empty when every needle occurs after the one before it; else what is missing.
inline QByteArray missingInOrder(const QByteArray &body, const QList<QByteArray> &needles)
{
    qsizetype from = 0;
    for (const QByteArray &needle : needles) {
        const qsizetype at = body.indexOf(needle, from);
        if (at < 0)
            return needle;
        from = at + needle.size();
    }
    return {};
}

// Thread numbers of the "ganzer Thread" links of an index page, in page order.
inline QList<int> threadLinks(const QByteArray &body)
{
    static const QRegularExpression link(
        QStringLiteral("/read/(\\d+)/thread#(\\d+)\">ganzer Thread</A>"));
    QList<int> out;
    auto it = link.globalMatch(QString::fromUtf8(body));
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.captured(1) == m.captured(2))
            out << m.captured(1).toInt();
    }
    return out;
}

// One request; redirects are not followed, so that a test sees them.
inline Page exchange(QNetworkAccessManager &nam, const QUrl &url, const QByteArray &method = "GET",
                     const QByteArray &body = {},
                     const QByteArray &contentType = "application/x-www-form-urlencoded",
                     QHttpMultiPart *multipart = nullptr, int timeoutMs = 20000)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (!multipart)
        request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    QNetworkReply *reply = multipart          ? nam.post(request, multipart)
                           : method == "GET"  ? nam.get(request)
                           : method == "HEAD" ? nam.head(request)
                           : method == "POST" ? nam.post(request, body)
                                              : nam.sendCustomRequest(request, method);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    Page page;
    if (reply->isFinished()) {
        page.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        page.contentType = reply->rawHeader("Content-Type");
        page.contentEncoding = reply->rawHeader("Content-Encoding");
        page.location = reply->rawHeader("Location");
        bool ok = false;
        const qint64 length = reply->rawHeader("Content-Length").toLongLong(&ok);
        page.contentLength = ok ? length : -1;
        page.body = reply->readAll();
    } else {
        reply->abort();
    }
    reply->deleteLater();
    return page;
}

// "a=1&b=2" with every value percent-encoded, as a browser sends a form.
inline QByteArray urlEncoded(const QList<std::pair<QByteArray, QByteArray>> &fields)
{
    QByteArray out;
    for (const auto &[name, value] : fields) {
        if (!out.isEmpty())
            out += '&';
        out += name.toPercentEncoding() + '=' + value.toPercentEncoding();
    }
    return out;
}

inline QByteArray htmlUnescape(QByteArray text)
{
    static const QList<std::pair<QByteArray, QByteArray>> entities = {
        {"&#13;", "\r"}, {"&#10;", "\n"}, {"&#9;", "\t"}, {"&lt;", "<"},
        {"&gt;", ">"},   {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
    for (const auto &[entity, character] : entities)
        text.replace(entity, character);
    return text;
}

// The elements of the page's first form, in document order, as the client
// counts them.
struct FormElement {
    QByteArray type;
    QByteArray name;
    QByteArray value;   // unescaped
};

inline QList<FormElement> firstFormElements(const QByteArray &body, QByteArray *action = nullptr)
{
    const qsizetype start = body.indexOf("<FORM");
    const qsizetype end = body.indexOf("</FORM>", start);
    if (start < 0 || end < 0)
        return {};
    const QString form = QString::fromUtf8(body.mid(start, end - start));
    if (action) {
        static const QRegularExpression actionRe(QStringLiteral("ACTION=\"([^\"]*)\""));
        *action = actionRe.match(form).captured(1).toUtf8();
    }
    static const QRegularExpression element(QStringLiteral("<(INPUT|TEXTAREA)\\b([^>]*)>"));
    static const QRegularExpression type(QStringLiteral("TYPE=(\\w+)"));
    static const QRegularExpression name(QStringLiteral("NAME=\"([^\"]*)\""));
    static const QRegularExpression value(QStringLiteral("VALUE=\"([^\"]*)\""));
    QList<FormElement> out;
    for (auto it = element.globalMatch(form); it.hasNext();) {
        const QString attributes = it.next().captured(2);
        out.append({type.match(attributes).captured(1).toUtf8(), name.match(attributes).captured(1).toUtf8(),
                    htmlUnescape(value.match(attributes).captured(1).toUtf8())});
    }
    return out;
}
