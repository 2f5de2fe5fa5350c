#include "automation/PhotoPrep.h"

#include "automation/PhotoFile.h"
#include "export/FileNames.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QLocale>
#include <QSaveFile>
#include <QSettings>

#include <cstring>

namespace tarnvik::photos {
namespace {

constexpr qint64 kMaxFileBytes = 200LL * 1000 * 1000;
constexpr qint64 kMaxPixels = 100'000'000;
constexpr int kFirstQuality = 85;
constexpr int kQualityStep = 5;
constexpr int kLowestQuality = 40;
// When the lowest quality is still too large, the picture shrinks by this
// much, at most this many times.
constexpr double kShrinkFactor = 0.8;
constexpr int kMaxShrinks = 12;

int boundedSetting(const QSettings &settings, const QString &key, int lowest, int highest, int fallback)
{
    bool ok = false;
    const int value = settings.value(key).toString().trimmed().toInt(&ok);
    return ok && value >= lowest && value <= highest ? value : fallback;
}

bool cancelled(const std::atomic_bool *cancel)
{
    return cancel && cancel->load();
}

QSize scaledTo(QSize size, int longEdge)
{
    const int longer = std::max(size.width(), size.height());
    if (longer <= longEdge)
        return size;
    const double factor = double(longEdge) / longer;
    return {std::max(1, qRound(size.width() * factor)), std::max(1, qRound(size.height() * factor))};
}

// The pixels and the colour profile alone: the JPEG and PNG writers would
// carry the decoded text fields over (as comments), and the density is the
// camera's business.
QImage pixelsOnly(const QImage &image)
{
    QImage clean(image.size(), image.format());
    if (clean.isNull())
        return clean;
    clean.setColorTable(image.colorTable());
    const size_t row = size_t(std::min(clean.bytesPerLine(), image.bytesPerLine()));
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(clean.scanLine(y), image.constScanLine(y), row);
    clean.setColorSpace(image.colorSpace());
    return clean;
}

bool usesTransparency(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return false;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) != 255)
                return true;
        }
    }
    return false;
}

QByteArray encode(const QImage &image, const char *format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0) {
        writer.setQuality(quality);
        writer.setOptimizedWrite(true);
    }
    return writer.write(image) ? bytes : QByteArray();
}

enum class Fit { Done, TooLarge, Failed, Cancelled };

// Encodes `image` within `maxBytes`: a JPEG from quality 85 down in steps,
// then (like a PNG at once) smaller step by step. `image` ends at the size
// written.
Fit encodeWithin(QImage &image, bool png, qint64 maxBytes, const std::atomic_bool *cancel, QByteArray &bytes)
{
    int quality = kFirstQuality;
    for (int shrinks = 0;;) {
        if (cancelled(cancel))
            return Fit::Cancelled;
        bytes = encode(image, png ? "png" : "jpeg", png ? -1 : quality);
        if (bytes.isEmpty())
            return Fit::Failed;
        if (bytes.size() <= maxBytes)
            return Fit::Done;
        if (!png && quality > kLowestQuality) {
            quality -= kQualityStep;
            continue;
        }
        if (++shrinks > kMaxShrinks)
            return Fit::TooLarge;
        const QSize smaller(std::max(1, int(image.width() * kShrinkFactor)),
                            std::max(1, int(image.height() * kShrinkFactor)));
        image = image.scaled(smaller, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
}

QString sizeText(QSize size, qint64 bytes)
{
    return QStringLiteral("%1 × %2, %3").arg(size.width()).arg(size.height()).arg(fileSizeText(bytes));
}

} // namespace

Limits limitsFromSettings(const QSettings &settings)
{
    const Limits defaults;
    Limits limits;
    limits.longEdge = boundedSetting(settings, QStringLiteral("Bilder/LangeKante"), 100, 20000, defaults.longEdge);
    limits.maxKB = boundedSetting(settings, QStringLiteral("Bilder/MaxKB"), 20, 100000, defaults.maxKB);
    return limits;
}

QString fileSizeText(qint64 bytes)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    if (bytes < 999'500)
        return QStringLiteral("%1 KB").arg(std::max<qint64>(bytes > 0 ? 1 : 0, (bytes + 500) / 1000));
    return QStringLiteral("%1 MB").arg(german.toString(bytes / 1e6, 'f', 1));
}

QString summaryLine(const Prepared &prepared)
{
    if (prepared.unchanged)
        return QStringLiteral("Bild unverändert: ") + sizeText(prepared.sizeBefore, prepared.bytesBefore);
    QString line = QStringLiteral("Bild vorbereitet: %1 → %2")
                       .arg(sizeText(prepared.sizeBefore, prepared.bytesBefore),
                            sizeText(prepared.sizeAfter, prepared.bytesAfter));
    if (prepared.turned)
        line += QStringLiteral("; aufgerichtet");
    if (prepared.locationRemoved)
        line += QStringLiteral("; Ortsangaben entfernt");
    return line;
}

Prepared prepare(const QString &file, const Limits &limits, const QString &targetFolder,
                 const std::atomic_bool *cancel)
{
    Prepared out;
    const QFileInfo info(file);
    const QString name = info.fileName();
    const auto fail = [&out](const QString &text) {
        out.error = text;
        out.path.clear();
        return out;
    };
    const QString damaged = QStringLiteral("Das Bild „%1“ ist beschädigt oder unvollständig.").arg(name);
    if (!info.isFile())
        return fail(QStringLiteral("Die Datei „%1“ gibt es nicht.").arg(name));
    out.bytesBefore = info.size();
    if (out.bytesBefore == 0)
        return fail(QStringLiteral("Die Datei „%1“ ist leer.").arg(name));
    if (out.bytesBefore > kMaxFileBytes)
        return fail(QStringLiteral("Die Datei „%1“ ist größer als 200 MB.").arg(name));

    QFile source(info.absoluteFilePath());
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Die Datei „%1“ lässt sich nicht lesen: %2").arg(name, source.errorString()));
    QImageReader reader(&source);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return fail(QStringLiteral("Die Datei „%1“ ist kein Bild.").arg(name));
    const QByteArray format = reader.format();
    const QSize stored = reader.size();
    if (!stored.isValid())
        return fail(damaged);
    if (qint64(stored.width()) * stored.height() > kMaxPixels)
        return fail(QStringLiteral("Das Bild „%1“ hat mehr als 100 Megapixel.").arg(name));
    const QImageIOHandler::Transformations turn = reader.transformation();
    const bool swapped = turn.testFlag(QImageIOHandler::TransformationRotate90);
    out.sizeBefore = swapped ? stored.transposed() : stored;
    out.turned = turn != QImageIOHandler::TransformationNone;
    if (format == "jpeg") {
        QFile whole(info.absoluteFilePath());
        if (!whole.open(QIODevice::ReadOnly) || !jpegIsWhole(whole))
            return fail(damaged);
    }
    const PhotoFacts facts = readPhotoFacts(info.absoluteFilePath());
    out.locationRemoved = facts.hasLocation;

    const QSize target = scaledTo(out.sizeBefore, limits.longEdge);
    const bool shrink = target != out.sizeBefore;
    const qint64 maxBytes = qint64(limits.maxKB) * 1000;
    const bool keepsFormat = format == "jpeg" || format == "png" || format == "gif";
    if (keepsFormat && !shrink && out.bytesBefore <= maxBytes && !out.turned && facts.metadataRead
        && !facts.hasLocation) {
        // Small enough to decode whole, which tells a damaged one.
        if (reader.read().isNull())
            return fail(damaged);
        out.unchanged = true;
        out.path = info.absoluteFilePath();
        out.sizeAfter = out.sizeBefore;
        out.bytesAfter = out.bytesBefore;
        return out;
    }

    // A reader without a reduced decode decodes whole and scales after;
    // past the reader's allocation limit that would be refused anyway.
    const qint64 wholeBytes = qint64(stored.width()) * stored.height() * 4;
    if (shrink && !reader.supportsOption(QImageIOHandler::ScaledSize)
        && wholeBytes > qint64(QImageReader::allocationLimit()) * 1024 * 1024)
        return fail(QStringLiteral("Das Bild „%1“ ist zu groß, um es hier zu verkleinern. Bitte als JPEG speichern "
                                   "oder vorher verkleinern.")
                        .arg(name));
    reader.setAutoTransform(true);
    if (shrink)
        reader.setScaledSize(swapped ? target.transposed() : target);
    if (cancelled(cancel))
        return fail(QStringLiteral("Die Vorbereitung wurde abgebrochen."));
    QImage image = pixelsOnly(reader.read());
    if (image.isNull())
        return fail(damaged);
    // The reader leaves the profile behind when it turns the picture.
    if (!image.colorSpace().isValid() && !facts.iccProfile.isEmpty())
        image.setColorSpace(QColorSpace::fromIccProfile(facts.iccProfile));

    const bool transparent = usesTransparency(image);
    QByteArray bytes;
    bool png = transparent;
    Fit fit = Fit::TooLarge;
    if (!transparent && !shrink && format != "jpeg") {
        // A drawing keeps its sharp edges when it fits as PNG.
        bytes = encode(image, "png", -1);
        if (!bytes.isEmpty() && bytes.size() <= maxBytes) {
            png = true;
            fit = Fit::Done;
        }
    }
    if (fit != Fit::Done)
        fit = encodeWithin(image, png, maxBytes, cancel, bytes);
    if (fit == Fit::Cancelled)
        return fail(QStringLiteral("Die Vorbereitung wurde abgebrochen."));
    if (fit == Fit::TooLarge)
        return fail(QStringLiteral("Das Bild „%1“ lässt sich nicht auf %2 KB bringen.").arg(name).arg(limits.maxKB));
    if (fit == Fit::Failed)
        return fail(QStringLiteral("Das Bild „%1“ lässt sich nicht neu schreiben.").arg(name));

    const QString base = toValidFileName(info.completeBaseName(), 100);
    const QString suffix = png ? QStringLiteral(".png") : QStringLiteral(".jpg");
    QString copy = QDir(targetFolder).filePath(base + suffix);
    // Never over the original, should it lie in the target folder.
    if (QFileInfo(copy).canonicalFilePath() == info.canonicalFilePath())
        copy = QDir(targetFolder).filePath(base + QStringLiteral("-vorbereitet") + suffix);
    QSaveFile saved(copy);
    if (!saved.open(QIODevice::WriteOnly) || saved.write(bytes) != bytes.size() || !saved.commit())
        return fail(QStringLiteral("Das vorbereitete Bild konnte nicht gespeichert werden: %1").arg(saved.errorString()));
    out.path = copy;
    out.sizeAfter = image.size();
    out.bytesAfter = bytes.size();
    return out;
}

} // namespace tarnvik::photos
