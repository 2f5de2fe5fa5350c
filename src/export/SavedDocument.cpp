#include "export/SavedDocument.h"

#include "export/DocumentFormat.h"
#include "export/WordConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <filesystem>
#include <system_error>

namespace tarnvik::word {

namespace {

using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

// Below this the disk counts as full when a save fails: the office stops
// writing at the first block it cannot get.
constexpr qint64 kNearlyFull = 1024 * 1024;

WordError saveError(const QString &reason)
{
    WordError error;
    error.message = QStringLiteral("Das Dokument konnte nicht gespeichert werden: %1").arg(reason);
    error.saveFailed = true;
    return error;
}

// The reason for a failure in `folder`: a full disk, when it is one.
WordError failure(const QString &folder, const QString &otherwise)
{
    QStorageInfo disk(folder);
    disk.refresh();
    if (disk.isValid() && disk.bytesAvailable() < kNearlyFull)
        return WordError{noSpaceMessage(), false, true};
    return saveError(otherwise);
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

void closeQuietly(const Reference<css::frame::XModel> &model)
{
    try {
        if (model.is())
            Reference<css::util::XCloseable>(model, UNO_QUERY_THROW)->close(true);
    } catch (...) {
    }
}

// The pictures `model` holds itself; -1 when it cannot be read.
int embeddedPictures(const Reference<css::frame::XModel> &model)
{
    try {
        return model.is() ? countEmbeddedPictures(model) : -1;
    } catch (const css::uno::Exception &) {
        return -1;
    }
}

} // namespace

QString noSpaceMessage()
{
    return QStringLiteral("Das Dokument konnte nicht gespeichert werden: kein Platz auf dem Datenträger.");
}

Reference<css::frame::XModel> saveChecked(const Reference<css::frame::XDesktop2> &desktop,
                                          const Reference<css::frame::XModel> &model, const QString &file,
                                          int pictures)
{
    const QString folder = QFileInfo(file).absolutePath();
    const QString notWritable = QStringLiteral("Der Ordner „%1“ ist nicht beschreibbar.").arg(QDir::toNativeSeparators(folder));
    const QString temporary = reserveName(folder);
    if (temporary.isEmpty())
        throw failure(folder, notWritable);

    try {
        Reference<css::frame::XStorable>(model, UNO_QUERY_THROW)
            ->storeToURL(fileUrl(temporary),
                         properties({{"FilterName", Any(rtl::OUString("MS Word 97"))}, {"Overwrite", Any(true)}}));
    } catch (const css::uno::Exception &e) {
        // The office's own text helps a developer, not the user.
        qWarning("saving %s: %s", qPrintable(temporary), qPrintable(toQString(e.Message)));
        const WordError error = failure(folder, QStringLiteral("Die Textverarbeitung meldet einen Fehler."));
        QFile::remove(temporary);
        throw error;
    }
    if (QFileInfo(temporary).size() <= 0) {
        const WordError error = failure(folder, QStringLiteral("Die gespeicherte Datei ist leer."));
        QFile::remove(temporary);
        throw error;
    }

    // The earlier document stays aside until the new one has proved whole.
    QString earlier;
    if (QFileInfo::exists(file)) {
        earlier = reserveName(folder);
        if (earlier.isEmpty() || !replaceFile(file, earlier)) {
            const WordError error = failure(folder, notWritable);
            QFile::remove(temporary);
            if (!earlier.isEmpty())
                QFile::remove(earlier);
            throw error;
        }
    }
    const auto putEarlierBack = [&] {
        if (earlier.isEmpty())
            QFile::remove(file);
        else
            replaceFile(earlier, file);
    };
    if (!replaceFile(temporary, file)) {
        const WordError error = failure(folder, notWritable);
        QFile::remove(temporary);
        putEarlierBack();
        throw error;
    }

    Reference<css::frame::XModel> saved;
    try {
        saved.set(desktop->loadComponentFromURL(fileUrl(file), "_blank", 0, properties({{"Hidden", Any(true)}})),
                  UNO_QUERY);
    } catch (const css::uno::Exception &e) {
        qWarning("opening %s: %s", qPrintable(file), qPrintable(toQString(e.Message)));
    }
    const int embedded = embeddedPictures(saved);
    if (embedded < pictures) {
        const WordError error = failure(
            folder, embedded < 0 ? QStringLiteral("Die gespeicherte Datei lässt sich nicht öffnen.")
                                 : QStringLiteral("Es enthielt nur %1 von %2 Bildern.").arg(embedded).arg(pictures));
        closeQuietly(saved);
        putEarlierBack();
        throw error;
    }
    if (!earlier.isEmpty())
        QFile::remove(earlier);
    return saved;
}

} // namespace tarnvik::word
