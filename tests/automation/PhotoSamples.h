#pragma once

// Photos the tests and the benchmark make themselves: pictures with a marked
// corner, stored turned under an orientation tag, tagged with a place, a
// camera and a thumbnail (written with Exiv2), and a CMYK JPEG (written with
// libjpeg, since Qt writes none).
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QString>
#include <QTransform>

#include <cstdio>
#include <vector>

// libjpeg's header needs FILE and size_t declared first.
#include <jpeglib.h>

#include <exiv2/exiv2.hpp>

namespace photosamples {

// A white picture with a red block in its top-left corner, as a viewer
// should show it.
inline QImage markedPicture(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter(&image).fillRect(QRect(QPoint(0, 0), size / 4), Qt::red);
    return image;
}

// How a camera stores `upright` under orientation tag 1–8: the pixels
// turned back so that applying the tag shows them upright.
inline QImage storedFor(const QImage &upright, int orientation)
{
    const auto rotated = [&](int degrees) { return upright.transformed(QTransform().rotate(degrees)); };
    switch (orientation) {
    case 2: return upright.mirrored(true, false);
    case 3: return upright.mirrored(true, true);
    case 4: return upright.mirrored(false, true);
    case 5: return rotated(90).mirrored(true, false);
    case 6: return rotated(270);
    case 7: return rotated(90).mirrored(false, true);
    case 8: return rotated(90);
    default: return upright;
    }
}

// A photo-like picture: shades and grain of up to `grain` levels (the
// default one JPEG cannot squeeze much; a camera's is nearer 16).
inline QImage grainyPicture(QSize size, int grain = 64)
{
    const quint32 seed = 7;
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int g = int(random.bounded(grain));
            line[x] = qRgb((x * 255 / size.width() + g) % 256, (y * 255 / size.height() + g) % 256, (140 + g) % 256);
        }
    }
    return image;
}

// Writes into a JPEG file what a phone writes: the orientation tag (when
// not 0), and with `place` a GPS position, a place name, the camera's
// serial number and a thumbnail.
inline bool tagPhoto(const QString &file, int orientation, bool place)
{
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(file).toStdString(), false);
        image->readMetadata();
        Exiv2::ExifData &exif = image->exifData();
        if (orientation)
            exif["Exif.Image.Orientation"] = uint16_t(orientation);
        if (place) {
            exif["Exif.Image.Make"] = std::string("Holzkamera");
            exif["Exif.Photo.BodySerialNumber"] = std::string("SN-4711-0815");
            exif["Exif.GPSInfo.GPSLatitudeRef"] = std::string("N");
            exif["Exif.GPSInfo.GPSLongitudeRef"] = std::string("E");
            Exiv2::URationalValue latitude, longitude;
            latitude.read("51/1 30/1 1234/100");
            longitude.read("9/1 56/1 789/100");
            exif["Exif.GPSInfo.GPSLatitude"] = latitude;
            exif["Exif.GPSInfo.GPSLongitude"] = longitude;
            image->xmpData()["Xmp.photoshop.City"] = std::string("Hobelhausen");
            QByteArray thumbnail;
            QBuffer buffer(&thumbnail);
            buffer.open(QIODevice::WriteOnly);
            if (markedPicture(QSize(160, 120)).save(&buffer, "JPEG"))
                Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte *>(thumbnail.constData()),
                                                        long(thumbnail.size()));
        }
        image->writeMetadata();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

// A CMYK JPEG (as print shops and some scanners write them) of cyan shades.
inline bool writeCmykJpeg(const QString &file, QSize size)
{
    FILE *out = std::fopen(QFile::encodeName(file).constData(), "wb");
    if (!out)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = JDIMENSION(size.width());
    info.image_height = JDIMENSION(size.height());
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(size.width()) * 4);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            JSAMPLE *p = &row[size_t(x) * 4];
            p[0] = JSAMPLE(x * 255 / size.width());
            p[1] = JSAMPLE(y * 255 / size.height());
            p[2] = 40;
            p[3] = 10;
        }
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

} // namespace photosamples
