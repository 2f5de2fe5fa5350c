#include "state/CommaText.h"

namespace tarnvik {

namespace {
bool isBlankOrControl(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= ' ';
}

bool needsQuotes(const QString &entry)
{
    for (QChar c : entry) {
        if (c.unicode() <= ' ' || c == QLatin1Char(',') || c == QLatin1Char('"'))
            return true;
    }
    return false;
}
} // namespace

QString toCommaText(const QStringList &list)
{
    // A list of one empty entry would otherwise read back as no entry at all.
    if (list.size() == 1 && list.front().isEmpty())
        return QStringLiteral("\"\"");
    QStringList parts;
    parts.reserve(list.size());
    for (const QString &entry : list) {
        if (needsQuotes(entry)) {
            QString quoted = entry;
            quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
            parts << QLatin1Char('"') + quoted + QLatin1Char('"');
        } else {
            parts << entry;
        }
    }
    return parts.join(QLatin1Char(','));
}

QStringList fromCommaText(const QString &text, qsizetype maxEntries)
{
    QStringList result;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && isBlankOrControl(text[i]))
            ++i;
    };
    skipBlanks();
    while (i < n && result.size() < maxEntries) {
        QString entry;
        if (text[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        entry += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                entry += text[i++];
            }
            // Characters glued to a closing quote belong to no entry.
            while (i < n && !isBlankOrControl(text[i]) && text[i] != QLatin1Char(','))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && text[i].unicode() > ' ' && text[i] != QLatin1Char(','))
                ++i;
            entry = text.mid(start, i - start);
        }
        result << entry;
        skipBlanks();
        if (i < n && text[i] == QLatin1Char(',')) {
            ++i;
            if (i == n && result.size() < maxEntries)
                result << QString();
            skipBlanks();
        }
    }
    return result;
}

} // namespace tarnvik
