// Feeds arbitrary text to the export's extraction as the lines of a page:
// the first line is the page title (and the document title), the first
// byte chooses between a whole thread and a single message. Whatever comes
// in, the work file is ASCII, and every picture file lies directly in the
// pictures folder under a safe name.

#include "export/ExportText.h"
#include "export/FileNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdint>

namespace {
const QString kFolder = QStringLiteral("/srv/Doku/Pictures/");

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool whole = data[0] & 1;
    QStringList lines = tarnvik::SplitBodyLines(
        QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
    const QString title = lines.takeFirst();

    tarnvik::PictureState pictures;
    pictures.title = title;
    pictures.picturesFolder = kFolder;
    pictures.pageAddress = QUrl(QStringLiteral("http://forum.test/cgi-bin/forum/webbbs_config.pl/read/7"));
    const tarnvik::Extraction result = tarnvik::ExtractThread(lines, title, whole, pictures);

    if (result.end == tarnvik::ExtractionEnd::Complete) {
        check(result.lines.first().contains(QLatin1String("<BODY")));
        check(result.lines.last() == QLatin1String("</BODY></HTML>"));
        check(result.lines.size() <= 2 * lines.size() + 3);
        check(pictures.counter == 1 + pictures.downloads.size());
    } else {
        check(result.lines.isEmpty());
    }
    for (const tarnvik::PictureDownload &download : std::as_const(pictures.downloads)) {
        const QFileInfo file(download.file);
        check(QDir::cleanPath(file.absolutePath()) == QDir::cleanPath(kFolder));
        check(file.fileName() != QLatin1String(".") && file.fileName() != QLatin1String(".."));
        const QString scheme = download.address.scheme();
        check(download.address.isEmpty()
              || ((scheme == QLatin1String("http") || scheme == QLatin1String("https"))
                  && !download.address.host().isEmpty()));
    }
    const QByteArray bytes = tarnvik::EncodeWorkFile(result.lines);
    for (const char c : bytes)
        check(uchar(c) < 0x80);
    const QString safe = tarnvik::toValidFileName(title);
    check(!safe.isEmpty() && tarnvik::toValidFileName(safe) == safe);
    return 0;
}
