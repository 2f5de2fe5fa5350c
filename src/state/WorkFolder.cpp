#include "state/WorkFolder.h"

#include "state/DModul.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace tarnvik {

namespace {
// A folder counts as writable when a file can really be made in it: the
// access bits alone say nothing about read-only mounts.
bool canWriteIn(const QString &folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tarnvik-probe-XXXXXX")));
    return probe.open();
}

// An installed copy keeps its data in <prefix>/share/tarnvik beside
// <prefix>/bin, wherever the prefix is.
QString installedDataPath(const QString &programFolder, const QString &name)
{
    return withTrailingSeparator(programFolder) + QStringLiteral("../share/tarnvik/") + name;
}
} // namespace

QString workFolder(const QString &programFolder)
{
    // An installed copy never writes into bin/, not even when it runs as root.
    const bool installed = QFileInfo(installedDataPath(programFolder, QStringLiteral("Response.html"))).isFile();
    if (!installed && canWriteIn(programFolder))
        return withTrailingSeparator(programFolder);
    return userDataFolder();
}

QString userDataFolder()
{
    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!perUser.isEmpty() && QDir().mkpath(perUser))
        return withTrailingSeparator(perUser);
    return {};
}

QString dataFilePath(const QString &programFolder, const QString &name)
{
    const QString beside = withTrailingSeparator(programFolder) + name;
    if (QFileInfo(beside).isFile())
        return beside;
    if (const QString prefix = installedDataPath(programFolder, name); QFileInfo(prefix).isFile())
        return QDir::cleanPath(prefix);
    const QString installed =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("tarnvik/") + name);
    return installed.isEmpty() ? beside : installed;
}

} // namespace tarnvik
