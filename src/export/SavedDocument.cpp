#include "export/SavedDocument.h"

#include "export/DocumentFormat.h"
#include "export/WordConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <com/sun/star/frame/XStorable.hpp>

#include <filesystem>
#include <system_error>

namespace tarnvik::word {

namespace {

using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

// Below this the disk counts as full when a save fails: the office stops
// writing at the first block it cannot get.
constexpr qint64 kNearlyFull = 1024 * 1024;

// A failed save in `folder`: the full disk when it is full, else `reason`.
WordError failure(const QString &folder, const QString &reason)
{
    QStorageInfo disk(folder);
    disk.refresh();
    WordError error;
    error.saveFailed = true;
    error.message = disk.isValid() && disk.bytesAvailable() < kNearlyFull
                        ? noSpaceMessage()
                        : QStringLiteral("Das Dokument konnte nicht gespeichert werden: %1").arg(reason);
    return error;
}

// A new empty file with a hidden name in `folder`; empty when none can be made.
QString reserveName(const QString &folder)
{
    QTemporaryFile file(QDir(folder).filePath(QStringLiteral(".Tarnvik-XXXXXX.doc")));
    file.setAutoRemove(false);
    if (!file.open())
        return {};
    file.close();
    return file.fileName();
}

// Puts `from` in the place of `to` in one step, replacing what is there.
bool replaceFile(const QString &from, const QString &to)
{
    std::error_code error;
#ifdef Q_OS_WIN
    std::filesystem::rename(from.toStdWString(), to.toStdWString(), error);
#else
    std::filesystem::rename(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(), error);
#endif
    return !error;
}

// The pictures `model` holds itself; -1 when it cannot tell.
int embeddedPictures(const Reference<css::frame::XModel> &model)
{
    try {
        return countEmbeddedPictures(model);
    } catch (const css::uno::Exception &) {
        return -1;
    }
}

// Why a saved file is not whole; empty when it is.
QString shortfall(const Reference<css::frame::XModel> &model, const QString &file, const SaveCheck &check)
{
    const qint64 size = QFileInfo(file).size();
    if (size <= 0)
        return QStringLiteral("Die gespeicherte Datei ist leer.");
    if (const int embedded = embeddedPictures(model); embedded < check.pictures)
        return QStringLiteral("Es enthielt nur %1 von %2 Bildern.").arg(qMax(embedded, 0)).arg(check.pictures);
    if (size < check.pictureBytes)
        return QStringLiteral("Die gespeicherte Datei ist kleiner als ihre Bilder.");
    return {};
}

} // namespace

QString noSpaceMessage()
{
    return QStringLiteral("Das Dokument konnte nicht gespeichert werden: kein Platz auf dem Datenträger.");
}

void saveChecked(const Reference<css::frame::XModel> &model, const QString &file, const SaveCheck &check)
{
    const QString folder = QFileInfo(file).absolutePath();
    const QString notWritable =
        QStringLiteral("Der Ordner „%1“ ist nicht beschreibbar.").arg(QDir::toNativeSeparators(folder));

    // The earlier document waits aside until the new one has proved whole.
    QString earlier;
    if (QFileInfo::exists(file)) {
        earlier = reserveName(folder);
        if (earlier.isEmpty() || !replaceFile(file, earlier)) {
            const WordError error = failure(folder, notWritable);
            if (!earlier.isEmpty())
                QFile::remove(earlier);
            throw error;
        }
    }
    const auto fail = [&](const QString &reason) {
        const WordError error = failure(folder, reason);
        if (earlier.isEmpty())
            QFile::remove(file);
        else
            replaceFile(earlier, file);
        throw error;
    };

    try {
        Reference<css::frame::XStorable>(model, UNO_QUERY_THROW)
            ->storeAsURL(fileUrl(file),
                         properties({{"FilterName", Any(rtl::OUString("MS Word 97"))}, {"Overwrite", Any(true)}}));
    } catch (const css::uno::Exception &e) {
        // The office's own text helps a developer, not the user.
        qWarning("saving %s: %s", qPrintable(file), qPrintable(toQString(e.Message)));
        fail(QFileInfo(folder).isWritable() ? QStringLiteral("Die Textverarbeitung meldet einen Fehler.") : notWritable);
    }
    if (const QString reason = shortfall(model, file, check); !reason.isEmpty())
        fail(reason);
    if (!earlier.isEmpty())
        QFile::remove(earlier);
}

} // namespace tarnvik::word
