#pragma once

#include <QByteArray>
#include <QString>

// Reading and writing the program's files, with the messages the standard
// error report shows when that fails.
namespace tarnvik::files {

// "Datei <full name> kann nicht geöffnet werden. <reason>"
QString cannotOpen(const QString &fileName, const QString &reason);
// "Datei "<full name>" kann nicht erstellt werden. <reason>"
QString cannotCreate(const QString &fileName, const QString &reason);

// Reads a whole file of at most `maxBytes`. A larger one is refused with
// `tooLarge` as the reason; one byte more than allowed is read, so that a
// file that grows meanwhile (or a device without a size) is caught too.
bool readBounded(const QString &fileName, qint64 maxBytes, const QString &tooLarge, QByteArray &bytes,
                 QString &error);

// Writes the bytes in place of the file, all or nothing.
bool writeAtomically(const QString &fileName, const QByteArray &bytes, QString &error);

} // namespace tarnvik::files
