#include "ZLibBMP.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QIODevice>
#include <QSaveFile>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

// Input is fed to inflate in pieces of this size; the output grows as it comes.
constexpr qint64 InputChunk = 256 * 1024;
// Output grows from this size when the input size is unknown.
constexpr qint64 FirstOutputChunk = 1024 * 1024;
// Deflate cannot expand a byte of input into more than this many output bytes
// (a 258-byte match in two one-bit codes), so a short file cannot honestly
// claim a long image.
constexpr qint64 MaxDeflateRatio = 1032;

QString deviceError(const QIODevice &stream)
{
    const QString why = stream.errorString();
    return why.isEmpty() ? QStringLiteral("Die Daten können nicht gelesen werden.")
                         : QStringLiteral("Die Daten können nicht gelesen werden: %1").arg(why);
}

// Reads a plain BMP with Qt's built-in handler only. Turning detection off
// keeps image plugins out, ours included, so a container nested inside a
// container is refused instead of being unpacked again (and again).
bool decodePlain(QIODevice &stream, QImage &image, QString &error)
{
    QImageReader reader(&stream, "bmp");
    reader.setAutoDetectImageFormat(false);
    if (reader.read(&image))
        return true;
    error = QStringLiteral("Kein gültiges BMP-Bild: %1").arg(reader.errorString());
    return false;
}

struct InflateGuard
{
    z_stream *zs;
    ~InflateGuard() { inflateEnd(zs); }
};

QChar asciiLower(QChar c)
{
    return (c >= u'A' && c <= u'Z') ? QChar(c.unicode() + (u'a' - u'A')) : c;
}

} // namespace

int TZLIBBitmap::zlibLevel(TCompressionLevel level)
{
    switch (level) {
    case TCompressionLevel::None:
        return Z_NO_COMPRESSION;
    case TCompressionLevel::Fastest:
        return Z_BEST_SPEED;
    case TCompressionLevel::Default:
        return Z_DEFAULT_COMPRESSION;
    case TCompressionLevel::Max:
        break;
    }
    return Z_BEST_COMPRESSION;
}

bool TZLIBBitmap::fail(const QString &message) const
{
    m_error = message;
    return false;
}

bool TZLIBBitmap::HasSignature(QIODevice &stream)
{
    char head[sizeof Signature];
    return stream.peek(head, sizeof head) == qint64(sizeof head)
           && std::memcmp(head, Signature, sizeof head) == 0;
}

bool TZLIBBitmap::CompressedForFileName(const QString &fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    QString ext = name.mid(dot);
    // ASCII only: the rule must not depend on the user's locale.
    std::transform(ext.begin(), ext.end(), ext.begin(), asciiLower);
    return ext != QLatin1String(".bmp");
}

bool TZLIBBitmap::InflateData(QIODevice &stream, QByteArray &plainBmp, QString &error)
{
    char header[HeaderSize];
    const qint64 got = stream.read(header, HeaderSize);
    if (got < 0) {
        error = deviceError(stream);
        return false;
    }
    const qint64 signatureBytes = std::min<qint64>(got, sizeof Signature);
    if (got == 0 || std::memcmp(header, Signature, size_t(signatureBytes)) != 0) {
        error = QStringLiteral("Invalid ZBM signature!");
        return false;
    }
    if (got < HeaderSize) {
        error = QStringLiteral("Der ZBM-Kopf ist unvollständig (%1 von %2 Bytes).").arg(got).arg(HeaderSize);
        return false;
    }
    const qint64 length = qFromLittleEndian<qint32>(header + sizeof Signature);
    if (length < 0) {
        error = QStringLiteral("Die Längenangabe im ZBM-Kopf ist negativ (%1).").arg(length);
        return false;
    }
    if (length > MaxImageBytes) {
        error = QStringLiteral("Das ZBM-Bild gibt %1 Bytes an, mehr als die Grenze von %2 Bytes.")
                    .arg(length)
                    .arg(MaxImageBytes);
        return false;
    }

    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        error = QStringLiteral("Die zlib-Dekomprimierung kann nicht gestartet werden.");
        return false;
    }
    InflateGuard guard{&zs};

    // The output buffer grows with what the stream really yields, never past
    // the length field; a file of known size also caps the first allocation.
    qint64 capacity = std::min(length, FirstOutputChunk);
    if (!stream.isSequential()) {
        const qint64 rest = std::max<qint64>(0, stream.size() - stream.pos());
        capacity = std::min(length, rest * MaxDeflateRatio + 64 * 1024);
    }
    QByteArray out(capacity, Qt::Uninitialized);
    qint64 produced = 0;

    // Input is peeked and only what inflate consumed is skipped, so the stream
    // ends up right behind the zlib stream, on sequential devices too.
    QByteArray in(InputChunk, Qt::Uninitialized);
    qint64 peeked = 0;
    bool atEnd = false;
    for (;;) {
        if (zs.avail_in == 0 && !atEnd) {
            if (peeked > 0 && stream.skip(peeked) != peeked) {
                error = deviceError(stream);
                return false;
            }
            peeked = stream.peek(in.data(), InputChunk);
            if (peeked < 0) {
                error = deviceError(stream);
                return false;
            }
            atEnd = peeked == 0;
            zs.next_in = reinterpret_cast<Bytef *>(in.data());
            zs.avail_in = uInt(peeked);
        }
        if (produced == out.size() && produced < length)
            out.resize(std::min(length, std::max(out.size() * 2, FirstOutputChunk)));

        // Once the promised length is reached, one spare byte tells whether the
        // stream holds more than it should.
        char spare;
        const bool full = produced == length;
        zs.next_out = reinterpret_cast<Bytef *>(full ? &spare : out.data() + produced);
        zs.avail_out = full ? 1 : uInt(std::min<qint64>(out.size() - produced, 1 << 30));
        const uInt room = zs.avail_out;

        const int rc = inflate(&zs, Z_NO_FLUSH);
        const qint64 written = room - zs.avail_out;
        if (full && written > 0) {
            error = QStringLiteral("Die ZBM-Daten sind länger als ihre Längenangabe (%1 Bytes).").arg(length);
            return false;
        }
        produced += written;

        if (rc == Z_STREAM_END)
            break;
        if (rc == Z_BUF_ERROR && atEnd) {
            error = QStringLiteral("Die ZBM-Daten enden nach %1 von %2 Bytes.").arg(produced).arg(length);
            return false;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            error = QStringLiteral("Die ZBM-Daten sind beschädigt (zlib: %1).")
                        .arg(QString::fromLatin1(zs.msg ? zs.msg : "unexpected dictionary"));
            return false;
        }
    }

    const qint64 consumed = peeked - zs.avail_in;
    if (consumed > 0 && stream.skip(consumed) != consumed) {
        error = deviceError(stream);
        return false;
    }
    if (produced != length) {
        error = QStringLiteral("Die ZBM-Daten enden nach %1 von %2 Bytes.").arg(produced).arg(length);
        return false;
    }
    out.resize(produced);
    plainBmp = std::move(out);
    return true;
}

bool TZLIBBitmap::EncodePlain(const QImage &image, QByteArray &plainBmp, QString &error)
{
    plainBmp.clear();
    QBuffer buffer(&plainBmp);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (writer.write(image))
        return true;
    error = image.isNull() ? QStringLiteral("Es gibt kein Bild zum Speichern.")
                           : QStringLiteral("Das Bild kann nicht als BMP geschrieben werden: %1").arg(writer.errorString());
    return false;
}

bool TZLIBBitmap::LoadFromStream(QIODevice &stream)
{
    if (HasSignature(stream))
        return ReadData(stream);
    QImage image;
    QString error;
    if (!decodePlain(stream, image, error))
        return fail(error);
    QImage::operator=(std::move(image));
    m_error.clear();
    return true;
}

bool TZLIBBitmap::ReadData(QIODevice &stream)
{
    QByteArray plain;
    QString error;
    if (!InflateData(stream, plain, error))
        return fail(error);
    QBuffer buffer(&plain);
    buffer.open(QIODevice::ReadOnly);
    QImage image;
    if (!decodePlain(buffer, image, error))
        return fail(QStringLiteral("Die ZBM-Daten enthalten kein gültiges BMP-Bild (%1).").arg(error));
    QImage::operator=(std::move(image));
    m_error.clear();
    return true;
}

bool TZLIBBitmap::WriteData(QIODevice &stream) const
{
    QByteArray plain;
    QString error;
    if (!EncodePlain(*this, plain, error))
        return fail(error);
    if (plain.size() > MaxImageBytes)
        return fail(QStringLiteral("Das Bild ist zu groß für eine ZBM-Datei (%1 Bytes, höchstens %2).")
                        .arg(plain.size())
                        .arg(MaxImageBytes));

    uLongf packedSize = compressBound(uLong(plain.size()));
    QByteArray packed(qsizetype(packedSize), Qt::Uninitialized);
    const int rc = compress2(reinterpret_cast<Bytef *>(packed.data()), &packedSize,
                             reinterpret_cast<const Bytef *>(plain.constData()), uLong(plain.size()),
                             zlibLevel(m_level));
    if (rc != Z_OK)
        return fail(QStringLiteral("Die zlib-Komprimierung ist fehlgeschlagen (%1).").arg(rc));
    packed.resize(qsizetype(packedSize));

    char header[HeaderSize];
    std::memcpy(header, Signature, sizeof Signature);
    qToLittleEndian<qint32>(qint32(plain.size()), header + sizeof Signature);
    if (stream.write(header, HeaderSize) != HeaderSize || stream.write(packed) != packed.size())
        return fail(QStringLiteral("Die Daten können nicht geschrieben werden: %1").arg(stream.errorString()));
    m_error.clear();
    return true;
}

bool TZLIBBitmap::SaveToStream(QIODevice &stream) const
{
    if (m_compressed)
        return WriteData(stream);
    QByteArray plain;
    QString error;
    if (!EncodePlain(*this, plain, error))
        return fail(error);
    if (stream.write(plain) != plain.size())
        return fail(QStringLiteral("Die Daten können nicht geschrieben werden: %1").arg(stream.errorString()));
    m_error.clear();
    return true;
}

bool TZLIBBitmap::SaveToFile(const QString &fileName)
{
    m_compressed = CompressedForFileName(fileName);
    // The old file stays untouched until the new one is complete.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("%1 kann nicht angelegt werden: %2").arg(fileName, file.errorString()));
    if (!SaveToStream(file))
        return false;
    if (!file.commit())
        return fail(QStringLiteral("%1 kann nicht geschrieben werden: %2").arg(fileName, file.errorString()));
    return true;
}
