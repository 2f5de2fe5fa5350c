#pragma once

#include "export/ExportText.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QObject>

#include <deque>
#include <memory>

class QNetworkReply;
class QSaveFile;
class QTimer;

namespace tarnvik {

// Whether `file` holds a picture the office can read: JPEG, PNG, GIF, BMP or
// TIFF judged by its bytes (not by its name or what the server called it),
// of at most kMaxPicturePixels, whose data decodes. Decodes at a small size
// where the format allows it, never more than the pixel bound.
bool isOfficePicture(const QString &file);
constexpr qint64 kMaxPicturePixels = 32 * 1000 * 1000;

// Fetches the pictures of an export, a few at a time, each into a temporary
// file beside its target that replaces the target only once it is complete,
// and then checked off the UI thread to be a picture the office can read.
// A picture that cannot be fetched (no http/https address, a server error,
// too big, too slow, not a picture) leaves no file of its name behind, so
// that the document shows it as missing instead of an older picture of the
// same name.
class PictureDownloader : public QObject
{
    Q_OBJECT
public:
    struct Limits {
        qint64 maxBytes = 20 * 1024 * 1024;       // one picture
        qint64 maxTotalBytes = 512 * 1024 * 1024; // all pictures of one export
        int timeoutMs = 60000;                    // one picture, from its start
        int stallMs = 20000;                      // no data arriving
        int parallel = 6;                         // the most connections a host gets at once
    };

    explicit PictureDownloader(QObject *parent = nullptr);
    ~PictureDownloader() override;

    void setLimits(const Limits &limits) { m_limits = limits; }

    // Starts fetching; returns at once. `finished` follows the last one, also
    // for an empty list (on the next turn of the event loop).
    void start(const QList<PictureDownload> &downloads);
    // Stops every transfer and check; their temporary files are removed, the
    // pictures fetched completely before stay (fetchedFiles() names them). No
    // `finished` follows.
    void cancel();

    bool isRunning() const { return m_running; }
    int total() const { return m_total; }
    int done() const { return m_done; }
    int failed() const { return int(m_failedFiles.size()); }
    // The files whose picture could not be fetched, in page order of failing.
    const QStringList &failedFiles() const { return m_failedFiles; }
    // The files this run wrote (some perhaps still being checked).
    const QStringList &fetchedFiles() const { return m_fetchedFiles; }

Q_SIGNALS:
    void progress(int done, int total);
    void finished();

private:
    struct Transfer;
    void startMore();
    void startOne(const PictureDownload &download);
    void onReadyRead(QNetworkReply *reply);
    bool consume(QNetworkReply *reply, Transfer &transfer);
    void onMetaData(QNetworkReply *reply);
    void onFinished(QNetworkReply *reply);
    void fail(QNetworkReply *reply);
    void check(const QString &file);
    void countDone(const QString &file, bool ok);

    QNetworkAccessManager m_manager;
    Limits m_limits;
    std::deque<PictureDownload> m_queue;
    QHash<QNetworkReply *, std::shared_ptr<Transfer>> m_active;
    QStringList m_failedFiles;
    QStringList m_fetchedFiles;
    // Replaced at every start and cancel: a check that finishes later for an
    // earlier run finds its token gone.
    std::shared_ptr<int> m_run = std::make_shared<int>(0);
    qint64 m_totalBytes = 0;
    int m_total = 0;
    int m_done = 0;
    bool m_running = false;
};

} // namespace tarnvik
