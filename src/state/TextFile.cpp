#include "state/TextFile.h"

#include <optional>

#include <QStringDecoder>

namespace tarnvik {

namespace {
// Windows-1252 differs from Latin-1 only in 0x80 to 0x9F. The five bytes
// that code page leaves undefined keep their C1 code points, as Windows'
// own conversion does. Written out here because Qt offers this code page
// only where it is built with ICU.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
} // namespace

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes.at(i));
        text[i] = (byte >= 0x80 && byte < 0xA0) ? QChar(kCp1252High[byte - 0x80]) : QChar(byte);
    }
    return text;
}

QString decodeUtf8OrWindows1252(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromWindows1252(bytes);
}

QString decodeText(const QByteArray &bytes)
{
    // Notepad's "Unicode" files; the decoder drops the byte order mark.
    const auto utf16 = bytes.startsWith("\xff\xfe")   ? std::optional(QStringDecoder::Utf16LE)
                       : bytes.startsWith("\xfe\xff") ? std::optional(QStringDecoder::Utf16BE)
                                                      : std::nullopt;
    if (utf16) {
        QStringDecoder decoder(*utf16, QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(bytes);
        if (!decoder.hasError())
            return text;
    }
    return decodeUtf8OrWindows1252(bytes);
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << text.mid(start, i - start);
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

QString joinLines(const QStringList &lines, const QString &lineBreak)
{
    QString result;
    for (const QString &line : lines) {
        result += line;
        result += lineBreak;
    }
    return result;
}

} // namespace tarnvik
