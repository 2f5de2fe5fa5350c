#pragma once

#include <QByteArrayView>
#include <QString>

// Text that older versions wrote in the Windows code page rather than in
// UTF-8: post files, drafts and values in the settings file.
namespace tarnvik {

// Windows-1252 bytes as text.
QString fromWindows1252(QByteArrayView bytes);

// UTF-8 when the bytes are valid UTF-8, else Windows-1252.
QString decodeUtf8OrWindows1252(QByteArrayView bytes);

} // namespace tarnvik
