#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Text files and settings values as the program reads and writes them:
// UTF-8, or the Windows code page where a file or value was written in it
// (post files, drafts, the settings file), or UTF-16 after a byte order
// mark; CR LF, lone CR and lone LF all end a line.
namespace tarnvik {

// Windows-1252 bytes as text.
QString fromWindows1252(QByteArrayView bytes);

// UTF-8 when the bytes are valid UTF-8, else Windows-1252.
QString decodeUtf8OrWindows1252(QByteArrayView bytes);

// Bytes -> text: UTF-16 after its byte order mark, UTF-8 if valid, else
// Windows-1252.
QString decodeText(const QByteArray &bytes);

// The lines of a text, as a line list reads them: CR LF, CR and LF each end
// a line, and a break at the very end opens no further line. "" has no
// line, "\r\n" one empty line.
QStringList splitLines(const QString &text);

// The lines, each followed by a line break: the form a text file takes.
QString joinLines(const QStringList &lines, const QString &lineBreak = QStringLiteral("\n"));

} // namespace tarnvik
