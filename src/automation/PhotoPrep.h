#pragma once

#include <QSize>
#include <QString>

#include <atomic>

class QSettings;

// Photos made ready for the forum before they are uploaded: turned upright,
// made small, and without anything from the camera but the colour profile.
namespace tarnvik::photos {

struct Limits {
    int longEdge = 1600; // pixels of the longer side
    int maxKB = 1000;    // kilobytes of 1000 bytes
};

// "[Bilder] LangeKante" and "[Bilder] MaxKB"; a missing or unusable value
// (no number, out of bounds) gives the default.
Limits limitsFromSettings(const QSettings &settings);

struct Prepared {
    QString error;          // German, empty on success
    QString path;           // the file for the page: the original when unchanged
    bool unchanged = false; // within the limits, upright, without location
    QSize sizeBefore;       // upright, as viewers show it
    QSize sizeAfter;
    qint64 bytesBefore = 0;
    qint64 bytesAfter = 0;
    bool turned = false;          // the orientation tag was applied
    bool locationRemoved = false; // the original told where it was taken

    bool ok() const { return error.isEmpty(); }
};

// Prepares `file`: a copy goes into `targetFolder` (named after the
// original, ".jpg" or ".png") unless the picture can go as it is. A picture
// is decoded at its reduced size only. Nothing is written when the file is
// no picture, damaged, empty, over 100 megapixels or 200 MB, or when
// `cancel` is set meanwhile. Safe to run off the user-interface thread.
Prepared prepare(const QString &file, const Limits &limits, const QString &targetFolder,
                 const std::atomic_bool *cancel = nullptr);

// "412 KB", "8,4 MB" (units of 1000).
QString fileSizeText(qint64 bytes);

// "Bild vorbereitet: 6000 × 4000, 8,4 MB → 1600 × 1067, 412 KB; aufgerichtet;
// Ortsangaben entfernt", or for a picture that goes as it is
// "Bild unverändert: 800 × 600, 120 KB".
QString summaryLine(const Prepared &prepared);

} // namespace tarnvik::photos
