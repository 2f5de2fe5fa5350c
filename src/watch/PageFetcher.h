#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>

namespace tarnvik::watch {

// What a page request brought back.
struct Fetched {
    int status = 0;  // HTTP status; 0 when no answer came (network error, time or size exceeded)
    QByteArray body; // at most the size limit
    QByteArray contentType;
    QByteArray etag;
    QByteArray lastModified;
    QByteArray retryAfter;
    QString error;
};

// One page request at a time, politely: the program's name and version as
// User-Agent, the validators of an earlier answer sent along (a server that
// has nothing new answers 304 without a body), and bounded in size and time.
class PageFetcher : public QObject
{
    Q_OBJECT
public:
    struct Limits {
        qint64 maxBytes = 32 * 1024 * 1024;
        int timeoutMs = 60000; // the whole request
        int stallMs = 20000;   // no data arriving
    };

    explicit PageFetcher(QObject *parent = nullptr);
    ~PageFetcher() override;

    void setLimits(const Limits &limits) { m_limits = limits; }
    static QByteArray userAgent();

    // Starts a request; `done` follows once, on this object's thread. A
    // request still running is cancelled without its `done`.
    void get(const QUrl &url, const QByteArray &etag, const QByteArray &lastModified,
             std::function<void(const Fetched &)> done);
    void cancel();
    bool busy() const { return m_reply != nullptr; }

private:
    void finish();

    QNetworkAccessManager m_manager;
    Limits m_limits;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    QByteArray m_body;
    bool m_tooLarge = false;
    bool m_timedOut = false;
    std::function<void(const Fetched &)> m_done;
};

} // namespace tarnvik::watch
