#include "watch/PageFetcher.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace tarnvik::watch {

PageFetcher::PageFetcher(QObject *parent) : QObject(parent), m_manager(this), m_deadline(this)
{
    m_manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        if (m_reply)
            m_reply->abort();
    });
}

PageFetcher::~PageFetcher()
{
    cancel();
}

QByteArray PageFetcher::userAgent()
{
    // Plain ASCII, as a header must be.
    return QByteArrayLiteral("Tarnvik/" TARNVIK_VERSION " (Holzwerker-Forenprogramm; beobachtete Themen)");
}

void PageFetcher::get(const QUrl &url, const QByteArray &etag, const QByteArray &lastModified,
                      std::function<void(const Fetched &)> done)
{
    cancel();
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", userAgent());
    request.setRawHeader("Accept", "text/html");
    if (!etag.isEmpty())
        request.setRawHeader("If-None-Match", etag);
    if (!lastModified.isEmpty())
        request.setRawHeader("If-Modified-Since", lastModified);
    request.setTransferTimeout(m_limits.stallMs);
    request.setMaximumRedirectsAllowed(5);
    m_body.clear();
    m_tooLarge = false;
    m_timedOut = false;
    m_done = std::move(done);
    m_reply = m_manager.get(request);
    m_reply->setReadBufferSize(256 * 1024);
    m_deadline.start(m_limits.timeoutMs);
    QNetworkReply *reply = m_reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_limits.maxBytes) {
            m_tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        const QByteArray chunk = reply->readAll();
        if (m_tooLarge)
            return;
        if (m_body.size() + chunk.size() > m_limits.maxBytes) {
            m_tooLarge = true;
            reply->abort();
            return;
        }
        m_body += chunk;
    });
    connect(reply, &QNetworkReply::finished, this, &PageFetcher::finish);
}

void PageFetcher::cancel()
{
    m_deadline.stop();
    m_done = nullptr;
    if (QNetworkReply *reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void PageFetcher::finish()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    m_reply = nullptr;
    m_deadline.stop();
    if (!m_tooLarge && reply->bytesAvailable() > 0) {
        const QByteArray rest = reply->readAll();
        if (m_body.size() + rest.size() > m_limits.maxBytes)
            m_tooLarge = true;
        else
            m_body += rest;
    }
    Fetched result;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (m_tooLarge) {
        result.error = QStringLiteral("Die Seite ist zu groß");
    } else if (m_timedOut) {
        result.error = QStringLiteral("Das Forum antwortet nicht rechtzeitig");
    } else if (status.isValid()) {
        result.status = status.toInt();
        result.body = std::exchange(m_body, {});
        result.contentType = reply->rawHeader("Content-Type");
        result.etag = reply->rawHeader("ETag").left(200);
        result.lastModified = reply->rawHeader("Last-Modified").left(100);
        result.retryAfter = reply->rawHeader("Retry-After").left(100);
    } else {
        result.error = reply->errorString();
    }
    m_body.clear();
    reply->deleteLater();
    if (auto done = std::exchange(m_done, nullptr))
        done(result);
}

} // namespace tarnvik::watch
