#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// What a picture file says about itself beyond its pixels: whether it tells
// where it was taken, and whether a JPEG is whole.
namespace tarnvik::photos {

struct PhotoFacts {
    // The metadata could be read (Exiv2 knows the format and found no
    // damage in it); when not, nothing is known about the location.
    bool metadataRead = false;
    // GPS coordinates (Exif or XMP) or place names (IPTC or XMP).
    bool hasLocation = false;
    // The colour profile as stored (ICC), empty when there is none.
    QByteArray iccProfile;
};

PhotoFacts readPhotoFacts(const QString &file);

// Whether the JPEG data from the device's position on runs from its start
// marker through its marker segments and scans to an end marker. A file cut
// off in transfer decodes without a word (the missing part grey); this tells
// it apart. Reads sequentially, at most to the end marker.
bool jpegIsWhole(QIODevice &device);

} // namespace tarnvik::photos
