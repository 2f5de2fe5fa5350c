#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tarnvik {

// Makes "zbm" readable and writable through QImage, QImageReader and
// QImageWriter in the whole program. Call it once, right after the
// application object exists. Plain ".bmp" stays with Qt's own handler; a
// ".bmp" (or a file without extension) that really holds a zbm container is
// recognised by its signature and read as such.
void registerZbmFormat();

// What a file dialog shows for the two bitmap formats, e.g.
// "ZLIB Compressed Bitmap (*.zbm)".
QString imageFormatDescription(const QByteArray &format);
QStringList zbmNameFilters();

} // namespace tarnvik
