#pragma once

#include "archive/ArchivePage.h"

#include <functional>

// Where the thread export hands a finished thread to the archive. The
// export knows nothing of the archive beyond this call; without an archive
// in place the call does nothing.
namespace tarnvik::archive {

using ExportReceiver = std::function<void(const QUrl &page, const QStringList &lines, const QList<LocalPicture> &)>;
// Puts `receiver` in place (an empty one removes it).
void setExportReceiver(ExportReceiver receiver);
void keepExported(const QUrl &page, const QStringList &lines, const QList<LocalPicture> &pictures);

// The same with the export's own list of pictures: values with an
// `address` (QUrl) and a `file` (QString).
template<typename Downloads>
void keepExportedThread(const QUrl &page, const QStringList &lines, const Downloads &downloads)
{
    QList<LocalPicture> pictures;
    for (const auto &download : downloads)
        pictures.append({download.address, download.file});
    keepExported(page, lines, pictures);
}

} // namespace tarnvik::archive
