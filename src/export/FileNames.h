#pragma once

#include <QString>

// File names that come from outside (a thread title typed or proposed from a
// page, a picture's address) are made safe here before anything is written.
namespace tarnvik {

// Longest name part, in UTF-8 bytes, that toValidFileName keeps: leaves room
// for a counter and an extension within the 255 bytes file systems allow.
constexpr int kMaxFileNameBytes = 200;

// Makes `name` one plain file name in a folder of its own, the same on Linux
// and Windows: characters that file systems refuse (\ / : * ? " < > |),
// control characters and broken UTF-16 become "_"; blanks at the ends and
// dots or blanks at the end go; a leading dot becomes "_" (no hidden files,
// no "." or ".."); a reserved device name (CON, NUL, COM1, ...) gets "_" in
// front; the name is cut to `maxBytes` UTF-8 bytes at a character boundary;
// an empty result becomes "_". Applying it twice changes nothing more.
QString toValidFileName(const QString &name, int maxBytes = kMaxFileNameBytes);

// `extension` (".jpg") when it is a short plain one: a dot and one to five
// ASCII letters or digits. Anything else gives no extension at all.
QString validExtension(const QString &extension);

} // namespace tarnvik
