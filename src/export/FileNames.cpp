#include "export/FileNames.h"

#include <QStringList>

namespace tarnvik {

namespace {

const QChar kReplacement(QLatin1Char('_'));

bool refusedCharacter(char16_t c)
{
    if (c < 0x20 || c == 0x7f || (c >= 0x80 && c <= 0x9f))
        return true;
    switch (c) {
    case u'\\': case u'/': case u':': case u'*': case u'?':
    case u'"': case u'<': case u'>': case u'|':
        return true;
    default:
        return false;
    }
}

bool isBlank(QChar c)
{
    return c.isSpace();
}

// Windows refuses these as a name's stem, whatever the extension and case.
bool reservedDeviceName(const QString &name)
{
    QString stem = name.section(QLatin1Char('.'), 0, 0).toUpper();
    while (stem.endsWith(QLatin1Char(' ')))
        stem.chop(1);
    static const QStringList plain{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                   QStringLiteral("NUL"), QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (plain.contains(stem))
        return true;
    if (stem.size() == 4 && (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT")))) {
        const char16_t digit = stem.at(3).unicode();
        // COM0 and LPT0 too, and the superscript digits Windows also reserves.
        return (digit >= u'0' && digit <= u'9') || digit == u'\u00b9' || digit == u'\u00b2' || digit == u'\u00b3';
    }
    return false;
}

// Cuts `name` to at most `maxBytes` UTF-8 bytes without splitting a character.
QString cutToBytes(const QString &name, int maxBytes)
{
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char32_t c = name.at(i).unicode();
        int width = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        qsizetype units = 1;
        if (name.at(i).isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            width = 4;
            units = 2;
        }
        if (bytes + width > maxBytes)
            return name.left(i);
        bytes += width;
        i += units - 1;
    }
    return name;
}

void trimEnds(QString &name)
{
    qsizetype start = 0;
    while (start < name.size() && isBlank(name.at(start)))
        ++start;
    name.remove(0, start);
    while (!name.isEmpty() && (isBlank(name.back()) || name.back() == QLatin1Char('.')))
        name.chop(1);
}

} // namespace

QString toValidFileName(const QString &name, int maxBytes)
{
    QString result;
    result.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            result += c;
            result += name.at(++i);
        } else if (c.isSurrogate() || refusedCharacter(c.unicode())) {
            result += kReplacement;
        } else {
            result += c;
        }
    }
    trimEnds(result);
    // The cut may leave a blank or a dot at the end again.
    result = cutToBytes(result, qMax(1, maxBytes));
    trimEnds(result);
    if (result.startsWith(QLatin1Char('.')))
        result[0] = kReplacement;
    if (reservedDeviceName(result)) {
        result.prepend(kReplacement);
        result = cutToBytes(result, qMax(1, maxBytes));
    }
    if (result.isEmpty())
        result = kReplacement;
    return result;
}

QString validExtension(const QString &extension)
{
    if (extension.size() < 2 || extension.size() > 6 || extension.at(0) != QLatin1Char('.'))
        return {};
    for (qsizetype i = 1; i < extension.size(); ++i) {
        const char16_t c = extension.at(i).unicode();
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
        if (!plain)
            return {};
    }
    return extension;
}

} // namespace tarnvik
