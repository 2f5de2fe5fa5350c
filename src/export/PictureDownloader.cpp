#include "export/PictureDownloader.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QThreadPool>
#include <QTimer>

namespace tarnvik {

bool isOfficePicture(const QString &file)
{
    // The formats the office reads that Qt can check here.
    static const QList<QByteArray> formats{"jpeg", "png", "gif", "bmp", "tiff"};
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);
    if (!formats.contains(reader.format()))
        return false;
    const QSize size = reader.size();
    if (size.isEmpty() || qint64(size.width()) * size.height() > kMaxPicturePixels)
        return false;
    if (reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(size.scaled(QSize(64, 64), Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    return !reader.read().isNull();
}

struct PictureDownloader::Transfer {
    QString file;
    std::unique_ptr<QSaveFile> output;
    std::unique_ptr<QTimer> deadline;
    qint64 bytes = 0;
    bool failed = false;
};

PictureDownloader::PictureDownloader(QObject *parent) : QObject(parent)
{
    m_manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

PictureDownloader::~PictureDownloader()
{
    // The token goes with the members: a check that ends later finds it gone.
    cancel();
}

void PictureDownloader::start(const QList<PictureDownload> &downloads)
{
    cancel();
    m_queue.assign(downloads.begin(), downloads.end());
    m_failedFiles.clear();
    m_fetchedFiles.clear();
    m_totalBytes = 0;
    m_total = int(downloads.size());
    m_done = 0;
    m_running = true;
    if (m_total == 0) {
        QTimer::singleShot(0, this, [this] {
            if (m_running && m_total == 0) {
                m_running = false;
                Q_EMIT finished();
            }
        });
        return;
    }
    startMore();
}

void PictureDownloader::cancel()
{
    m_queue.clear();
    const auto active = std::exchange(m_active, {});
    for (auto it = active.begin(); it != active.end(); ++it) {
        QNetworkReply *reply = it.key();
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
        // Without a commit the temporary file goes with its writer.
        it.value()->output->cancelWriting();
    }
    m_run = std::make_shared<int>(0);
    m_running = false;
}

void PictureDownloader::startMore()
{
    while (m_running && !m_queue.empty() && m_active.size() < qMax(1, m_limits.parallel)) {
        const PictureDownload next = m_queue.front();
        m_queue.pop_front();
        startOne(next);
    }
}

void PictureDownloader::startOne(const PictureDownload &download)
{
    auto output = std::make_unique<QSaveFile>(download.file);
    if (!download.address.isValid() || download.address.isEmpty() || !output->open(QIODevice::WriteOnly)) {
        // Later, so that a list of pictures that all fail cannot recurse deeply.
        QTimer::singleShot(0, this, [this, file = download.file] {
            if (m_running)
                countDone(file, false);
        });
        return;
    }

    QNetworkRequest request(download.address);
    request.setTransferTimeout(m_limits.stallMs);
    request.setMaximumRedirectsAllowed(5);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Tarnvik"));
    QNetworkReply *reply = m_manager.get(request);
    reply->setReadBufferSize(256 * 1024);

    auto transfer = std::make_shared<Transfer>();
    transfer->file = download.file;
    transfer->output = std::move(output);
    transfer->deadline = std::make_unique<QTimer>();
    transfer->deadline->setSingleShot(true);
    connect(transfer->deadline.get(), &QTimer::timeout, this, [this, reply] { fail(reply); });
    transfer->deadline->start(m_limits.timeoutMs);
    m_active.insert(reply, transfer);

    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { onMetaData(reply); });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { onReadyRead(reply); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onFinished(reply); });
}

void PictureDownloader::onMetaData(QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    const bool redirect = status.isValid() && status.toInt() >= 300 && status.toInt() < 400;
    if (redirect)
        return;
    if ((status.isValid() && (status.toInt() < 200 || status.toInt() >= 300))
        || (length.isValid() && length.toLongLong() > m_limits.maxBytes))
        fail(reply);
}

void PictureDownloader::onReadyRead(QNetworkReply *reply)
{
    const std::shared_ptr<Transfer> transfer = m_active.value(reply);
    if (transfer && !transfer->failed && !consume(reply, *transfer))
        fail(reply);
}

bool PictureDownloader::consume(QNetworkReply *reply, Transfer &transfer)
{
    const QByteArray chunk = reply->readAll();
    transfer.bytes += chunk.size();
    m_totalBytes += chunk.size();
    return transfer.bytes <= m_limits.maxBytes && m_totalBytes <= m_limits.maxTotalBytes
           && transfer.output->write(chunk) == chunk.size();
}

// Ends a transfer as failed; its finished signal completes it.
void PictureDownloader::fail(QNetworkReply *reply)
{
    const std::shared_ptr<Transfer> transfer = m_active.value(reply);
    if (!transfer || transfer->failed)
        return;
    transfer->failed = true;
    transfer->output->cancelWriting();
    // Not from inside the reply's own signal: it may be reporting an error
    // of its own right now.
    QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

void PictureDownloader::onFinished(QNetworkReply *reply)
{
    const std::shared_ptr<Transfer> transfer = m_active.take(reply);
    reply->deleteLater();
    if (!transfer)
        return;
    transfer->deadline->stop();
    bool ok = !transfer->failed && reply->error() == QNetworkReply::NoError;
    if (ok) {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        ok = !status.isValid() || (status.toInt() >= 200 && status.toInt() < 300);
    }
    // A picture counts only when it came whole, is in place under its name
    // and holds a picture.
    ok = ok && consume(reply, *transfer) && transfer->bytes > 0 && transfer->output->commit();
    if (!ok)
        transfer->output->cancelWriting();
    transfer->output.reset();
    if (!ok) {
        countDone(transfer->file, false);
        return;
    }
    m_fetchedFiles.append(transfer->file);
    startMore();
    check(transfer->file);
}

// Decoding takes a moment per picture: it runs beside the transfers, off the
// UI thread, and its answer comes back to it.
void PictureDownloader::check(const QString &file)
{
    const std::weak_ptr<int> run = m_run;
    QThreadPool::globalInstance()->start([this, file, run] {
        const bool ok = isOfficePicture(file);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, file, run, ok] {
                if (!run.expired())
                    countDone(file, ok);
            },
            Qt::QueuedConnection);
    });
}

void PictureDownloader::countDone(const QString &file, bool ok)
{
    if (!ok) {
        m_fetchedFiles.removeOne(file);
        // An older picture of this name must not stand in for the missing one.
        QFile::remove(file);
        m_failedFiles.append(file);
    }
    ++m_done;
    Q_EMIT progress(m_done, m_total);
    if (!m_running)
        return;
    if (m_done >= m_total) {
        m_running = false;
        Q_EMIT finished();
        return;
    }
    startMore();
}

} // namespace tarnvik
