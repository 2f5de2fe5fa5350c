#include "state/FileAccess.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tarnvik::files {

namespace {
QString shownName(const QString &fileName)
{
    return fileName.isEmpty() ? fileName : QFileInfo(fileName).absoluteFilePath();
}
} // namespace

QString cannotOpen(const QString &fileName, const QString &reason)
{
    return QStringLiteral("Datei %1 kann nicht geöffnet werden. %2").arg(shownName(fileName), reason);
}

QString cannotCreate(const QString &fileName, const QString &reason)
{
    return QStringLiteral("Datei \"%1\" kann nicht erstellt werden. %2").arg(shownName(fileName), reason);
}

bool readBounded(const QString &fileName, qint64 maxBytes, const QString &tooLarge, QByteArray &bytes,
                 QString &error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = cannotOpen(fileName, file.errorString());
        return false;
    }
    if (file.size() > maxBytes) {
        error = cannotOpen(fileName, tooLarge);
        return false;
    }
    QByteArray read = file.read(maxBytes + 1);
    if (read.size() > maxBytes) {
        error = cannotOpen(fileName, tooLarge);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        error = cannotOpen(fileName, file.errorString());
        return false;
    }
    bytes = std::move(read);
    return true;
}

bool writeAtomically(const QString &fileName, const QByteArray &bytes, QString &error)
{
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    error = cannotCreate(fileName, file.errorString());
    return false;
}

} // namespace tarnvik::files
