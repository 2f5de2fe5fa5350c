#pragma once

#include <QByteArrayView>
#include <QStringView>
#include <QVariant>

namespace tarnvik {

// The value of `key` in the general section of INI bytes, parsed as the
// settings store parses its own files (quotes, backslash escapes, comma
// lists, comments), except that a run of text that is not valid UTF-8 is
// taken as Windows-1252, where the settings store would put replacement
// characters: for settings files written in the Windows code page. A
// QString, or a QStringList for an unquoted comma list; invalid when the key
// is not there or its value is a typed one ("@ByteArray(…)" and the like).
QVariant readIniValueCp1252(QByteArrayView data, QStringView key);

} // namespace tarnvik
