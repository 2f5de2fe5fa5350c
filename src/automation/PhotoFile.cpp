#include "automation/PhotoFile.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <exiv2/exiv2.hpp>

#include <cstring>
#include <mutex>
#include <string_view>

namespace tarnvik::photos {
namespace {

// Keys whose presence means the file tells where it was taken. The GPS
// version alone says nothing.
bool isLocationKey(std::string_view key)
{
    static constexpr std::string_view kPrefixes[] = {
        "Exif.GPSInfo.",          "Xmp.exif.GPS",           "Xmp.photoshop.City",
        "Xmp.photoshop.State",    "Xmp.photoshop.Country",  "Xmp.iptc.Location",
        "Xmp.iptcExt.Location",   "Iptc.Application2.City", "Iptc.Application2.SubLocation",
        "Iptc.Application2.ProvinceState", "Iptc.Application2.Country"};
    if (key.ends_with("GPSVersionID"))
        return false;
    for (std::string_view prefix : kPrefixes) {
        if (key.starts_with(prefix))
            return true;
    }
    return false;
}

template <typename Data>
bool anyLocation(const Data &data)
{
    for (const auto &datum : data) {
        if (isLocationKey(datum.key()))
            return true;
    }
    return false;
}

// Reads a JPEG byte by byte through a buffer, so that the entropy-coded
// data can be searched for markers without one call per byte.
class ByteReader
{
public:
    explicit ByteReader(QIODevice &device) : m_device(device) {}

    bool next(uchar &byte)
    {
        if (m_pos == m_buffer.size() && !refill())
            return false;
        byte = uchar(m_buffer[m_pos++]);
        return true;
    }

    bool skip(qint64 count)
    {
        while (count > 0) {
            if (m_pos == m_buffer.size() && !refill())
                return false;
            const qint64 step = std::min<qint64>(count, m_buffer.size() - m_pos);
            m_pos += step;
            count -= step;
        }
        return true;
    }

    // Moves to the next 0xFF byte; false at the end of the data.
    bool skipToFF()
    {
        for (;;) {
            const char *start = m_buffer.constData() + m_pos;
            const void *hit = std::memchr(start, 0xFF, size_t(m_buffer.size() - m_pos));
            if (hit) {
                m_pos += static_cast<const char *>(hit) - start;
                return true;
            }
            if (!refill())
                return false;
        }
    }

private:
    bool refill()
    {
        m_buffer = m_device.read(64 * 1024);
        m_pos = 0;
        return !m_buffer.isEmpty();
    }

    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
};

} // namespace

PhotoFacts readPhotoFacts(const QString &file)
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
    PhotoFacts facts;
    try {
        // An absolute local path: never taken for an address to fetch.
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(QFileInfo(file).absoluteFilePath()).toStdString(),
                                               false);
        image->readMetadata();
        facts.hasLocation =
            anyLocation(image->exifData()) || anyLocation(image->xmpData()) || anyLocation(image->iptcData());
        if (image->iccProfileDefined()) {
            const Exiv2::DataBuf *icc = image->iccProfile();
            facts.iccProfile = QByteArray(reinterpret_cast<const char *>(icc->pData_), icc->size_);
        }
        facts.metadataRead = true;
    } catch (const std::exception &) {
        // Unknown format or damaged metadata: nothing is known.
    }
    return facts;
}

bool jpegIsWhole(QIODevice &device)
{
    ByteReader in(device);
    uchar a = 0, b = 0;
    if (!in.next(a) || !in.next(b) || a != 0xFF || b != 0xD8)
        return false;
    bool scanned = false;
    uchar marker = 0;
    bool haveMarker = false;
    for (;;) {
        if (!haveMarker) {
            // Stray bytes before a marker are tolerated, as decoders do.
            if (!in.skipToFF() || !in.next(a))
                return false;
            do {
                if (!in.next(marker))
                    return false;
            } while (marker == 0xFF);
        }
        haveMarker = false;
        if (marker == 0xD9)
            return scanned;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue;
        uchar hi = 0, lo = 0;
        if (!in.next(hi) || !in.next(lo))
            return false;
        const int length = hi << 8 | lo;
        if (length < 2 || !in.skip(length - 2))
            return false;
        if (marker != 0xDA)
            continue;
        // Entropy-coded data up to the next marker: 0xFF 0x00 is a data
        // byte, 0xFF 0xD0–0xD7 a restart, 0xFF 0xFF fill.
        scanned = true;
        for (;;) {
            if (!in.skipToFF() || !in.next(a))
                return false;
            uchar c = 0;
            do {
                if (!in.next(c))
                    return false;
            } while (c == 0xFF);
            if (c == 0x00 || (c >= 0xD0 && c <= 0xD7))
                continue;
            marker = c;
            haveMarker = true;
            break;
        }
    }
}

} // namespace tarnvik::photos
