#pragma once

// A bitmap that is stored either as a plain BMP file image or zlib-compressed
// inside a small container (".zbm"):
//
//   offset 0   8 bytes  signature D5 5A 42 4D 0D 0A 1A 0A
//   offset 8   4 bytes  signed little-endian length of the plain BMP image
//   offset 12  rest     one zlib stream (RFC 1950) holding that BMP image
//
// The pixels live in the QImage base; the plain BMP image is the one Qt's BMP
// writer produces, so the length field always equals the size of a plain
// ".bmp" of the same picture.

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

class TZLIBBitmap : public QImage
{
public:
    // The four writing levels; the zlib level used for each is zlibLevel().
    enum class TCompressionLevel { None = 0, Fastest = 1, Default = 2, Max = 3 };

    static constexpr char Signature[8] = {'\xD5', 'Z', 'B', 'M', '\r', '\n', '\x1A', '\n'};
    static constexpr int HeaderSize = 12;
    // The length field comes from the file. Anything above this is refused
    // before a byte is inflated (a 9000 x 9000 true-colour picture fits).
    static constexpr qint64 MaxImageBytes = qint64(256) * 1024 * 1024;

    TZLIBBitmap() = default;
    explicit TZLIBBitmap(const QImage &image) : QImage(image) {}

    bool Compressed() const { return m_compressed; }
    void SetCompressed(bool compressed) { m_compressed = compressed; }
    TCompressionLevel CompressionLevel() const { return m_level; }
    void SetCompressionLevel(TCompressionLevel level) { m_level = level; }
    static int zlibLevel(TCompressionLevel level);

    // Reads either layout from the current position, told apart by the
    // signature. On failure the picture held so far is kept and ErrorString()
    // says why.
    bool LoadFromStream(QIODevice &stream);
    // Writes the container if Compressed(), else a plain BMP.
    bool SaveToStream(QIODevice &stream) const;
    // Reads a container from the current position; the signature is required.
    // Afterwards the stream stands right behind the container's zlib stream.
    bool ReadData(QIODevice &stream);
    // Writes the container at the current position.
    bool WriteData(QIODevice &stream) const;
    // ".bmp" (in any case) or no extension writes a plain BMP, any other
    // extension the container; Compressed() is set accordingly.
    bool SaveToFile(const QString &fileName);

    QString ErrorString() const { return m_error; }

    // True if the device's next bytes are the container signature (peeks only).
    static bool HasSignature(QIODevice &stream);
    // The extension rule of SaveToFile on its own.
    static bool CompressedForFileName(const QString &fileName);
    // The container's first half on its own: checks the header and inflates
    // the stream into the plain BMP image it holds.
    static bool InflateData(QIODevice &stream, QByteArray &plainBmp, QString &error);
    // The plain BMP file image of a picture as Qt's BMP writer makes it.
    static bool EncodePlain(const QImage &image, QByteArray &plainBmp, QString &error);

private:
    bool fail(const QString &message) const;

    bool m_compressed = true;
    TCompressionLevel m_level = TCompressionLevel::Max;
    mutable QString m_error;
};
