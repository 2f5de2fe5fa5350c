#include "state/IniValue.h"

#include "state/TextFile.h"

#include <QStringList>

namespace tarnvik {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The next logical line from `pos` on: leading blanks and comment lines are
// skipped; a line break inside double quotes or after a backslash does not
// end it, an unquoted ";" does. `equals` is the position of its first
// unquoted "=" within the line, or -1.
bool nextLine(QByteArrayView data, qsizetype &pos, QByteArrayView &line, qsizetype &equals)
{
    const qsizetype n = data.size();
    bool inQuotes = false;
    equals = -1;
    qsizetype start = pos;
    while (start < n && isBlank(data.at(start)))
        ++start;
    qsizetype i = start;
    while (i < n) {
        const char ch = data.at(i++);
        if (ch == '=') {
            if (!inQuotes && equals == -1)
                equals = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (!inQuotes) {
                --i;
                break;
            }
        } else if (ch == '\\') {
            if (i < n) {
                const char next = data.at(i++);
                if (i < n) {
                    const char after = data.at(i);
                    if ((next == '\n' && after == '\r') || (next == '\r' && after == '\n'))
                        ++i;
                }
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else if (ch == ';') {
            if (i == start + 1) {
                while (i < n && data.at(i) != '\n' && data.at(i) != '\r')
                    ++i;
                while (i < n && isBlank(data.at(i)))
                    ++i;
                start = i;
                equals = -1;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line = data.sliced(start, i - start);
    if (equals != -1)
        equals -= start;
    return !line.isEmpty();
}

void chopTrailingBlanks(QString &text, qsizetype limit)
{
    qsizetype n = text.size();
    while (n > limit && (text.at(n - 1) == u' ' || text.at(n - 1) == u'\t'))
        --n;
    text.truncate(n);
}

// The text of an INI value: quotes, escapes and commas as the settings store
// reads them. Returns true for an unquoted comma list (its entries in
// `list`).
bool unescape(QByteArrayView value, QString &text, QStringList &list)
{
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    qsizetype chopLimit = 0;
    QByteArray run; // literal bytes not yet decoded
    const auto flush = [&] {
        if (!run.isEmpty()) {
            text += decodeUtf8OrWindows1252(run);
            run.clear();
        }
    };
    const auto skipBlanks = [&](qsizetype &i) {
        while (i < value.size() && (value.at(i) == ' ' || value.at(i) == '\t'))
            ++i;
    };

    qsizetype i = 0;
    skipBlanks(i);
    chopLimit = 0;
    while (i < value.size()) {
        const char ch = value.at(i);
        if (ch == '\\') {
            ++i;
            if (i >= value.size())
                break;
            flush();
            const char code = value.at(i++);
            static const char simple[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},
                                             {'r', '\r'}, {'t', '\t'}, {'v', '\v'}, {'"', '"'},
                                             {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
            bool done = false;
            for (const auto &pair : simple) {
                if (code == pair[0]) {
                    text += QLatin1Char(pair[1]);
                    done = true;
                    break;
                }
            }
            if (!done && code == 'x' && i < value.size() && hexValue(value.at(i)) != -1) {
                char16_t unit = 0;
                while (i < value.size() && hexValue(value.at(i)) != -1)
                    unit = char16_t((unit << 4) + hexValue(value.at(i++)));
                text += QChar(unit);
                done = true;
            }
            if (!done && code >= '0' && code <= '7') {
                char16_t unit = char16_t(code - '0');
                while (i < value.size() && value.at(i) >= '0' && value.at(i) <= '7')
                    unit = char16_t((unit << 3) + (value.at(i++) - '0'));
                text += QChar(unit);
                done = true;
            }
            if (!done && (code == '\n' || code == '\r')) {
                // A line continued on the next one.
                if (i < value.size()) {
                    const char after = value.at(i);
                    if ((after == '\n' || after == '\r') && after != code)
                        ++i;
                }
            }
            // Any other escaped character is dropped. Blanks before an
            // escape are kept.
            chopLimit = text.size();
        } else if (ch == '"') {
            ++i;
            flush();
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipBlanks(i);
                chopLimit = text.size();
            }
        } else if (ch == ',' && !inQuotes) {
            flush();
            if (!quoted)
                chopTrailingBlanks(text, chopLimit);
            isList = true;
            list.append(text);
            text.clear();
            quoted = false;
            ++i;
            skipBlanks(i);
            chopLimit = 0;
        } else {
            run += ch;
            ++i;
        }
    }
    flush();
    if (!quoted)
        chopTrailingBlanks(text, chopLimit);
    if (isList)
        list.append(text);
    return isList;
}

// Undoes the "@" doubling of a plain text; false for a typed value.
bool plainText(QString &text)
{
    if (!text.startsWith(u'@'))
        return true;
    if (text.startsWith(QLatin1String("@@"))) {
        text.remove(0, 1);
        return true;
    }
    return false;
}

} // namespace

QVariant readIniValueCp1252(QByteArrayView data, QStringView key)
{
    if (data.startsWith("\xef\xbb\xbf"))
        data = data.sliced(3);
    QVariant result;
    bool general = true; // keys before the first section belong to it
    qsizetype pos = 0;
    QByteArrayView line;
    qsizetype equals = -1;
    while (nextLine(data, pos, line, equals)) {
        if (line.startsWith('[')) {
            qsizetype end = line.indexOf(']');
            if (end < 0)
                end = line.size();
            general = line.sliced(1, end - 1).trimmed().compare("general", Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!general || equals < 0)
            continue;
        if (QLatin1StringView(line.first(equals).trimmed()) != key)
            continue;
        QString text;
        QStringList list;
        if (unescape(line.sliced(equals + 1), text, list)) {
            result = list;
            for (QString &entry : list) {
                if (!plainText(entry)) {
                    result = QVariant();
                    break;
                }
            }
            if (result.isValid())
                result = list;
        } else {
            result = plainText(text) ? QVariant(text) : QVariant();
        }
        // A later line of the same key wins, as in the settings store.
    }
    return result;
}

} // namespace tarnvik
