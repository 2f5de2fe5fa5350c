#include "editor/SpellWords.h"

#include <QRegularExpression>

#include <algorithm>

namespace tarnvik::spelling {

namespace {

constexpr qsizetype kMaxTagName = 16;

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isWordChar(QChar c)
{
    // Marks too: a letter written with a combining umlaut stays one word.
    return c.isLetterOrNumber() || c.isMark();
}

// Where a token (a run of text that an address may fill) ends.
bool endsToken(QChar c)
{
    return c.isSpace() || c == u'[' || c == u'<' || c == u'"' || c == u'„' || c == u'“' || c == u'”';
}

// The length of a square-bracket tag at `at` ("[b]", "[/b]", "[*]",
// "[url=…]"), or 0 where the bracket opens none.
qsizetype tagLength(QStringView text, qsizetype at, bool &opensCode)
{
    const qsizetype n = text.size();
    qsizetype i = at + 1;
    const bool closing = i < n && text[i] == u'/';
    if (closing)
        ++i;
    const qsizetype nameStart = i;
    if (i < n && text[i] == u'*') {
        ++i;
    } else {
        if (i >= n || !isAsciiLetter(text[i]))
            return 0;
        while (i < n && i - nameStart < kMaxTagName && (isAsciiLetter(text[i]) || text[i].isDigit()))
            ++i;
    }
    const QStringView name = text.sliced(nameStart, i - nameStart);
    if (!closing && i < n && text[i] == u'=') {
        i = text.indexOf(u']', i);
        if (i < 0)
            return 0;
    }
    if (i >= n || text[i] != u']')
        return 0;
    opensCode = !closing && name.compare(u"code", Qt::CaseInsensitive) == 0;
    return i + 1 - at;
}

// The length of markup written with "&" or "<" at `at`: a whole
// entity-written tag ("&lt;a href=…&gt;"), an entity ("&amp;"), or a tag in
// angle brackets; 0 where there is none.
qsizetype entityMarkupLength(QStringView text, qsizetype at)
{
    const QStringView rest = text.sliced(at);
    if (rest.startsWith(u"&lt;", Qt::CaseInsensitive)) {
        const qsizetype close = rest.indexOf(u"&gt;", 4, Qt::CaseInsensitive);
        return close < 0 ? 4 : close + 4;
    }
    if (rest.startsWith(u'&')) {
        static const QRegularExpression entity(QStringLiteral("^&#?[A-Za-z0-9]{1,10};"));
        const QRegularExpressionMatch match = entity.match(rest);
        return match.hasMatch() ? match.capturedLength() : 0;
    }
    if (rest.startsWith(u'<') && rest.size() > 1 && (rest[1] == u'/' || isAsciiLetter(rest[1]))) {
        const qsizetype close = rest.indexOf(u'>');
        return close < 0 ? 0 : close + 1;
    }
    return 0;
}

// Whether a token is an address, a mail address or a host name
// ("holzwerken.de", "Bild.jpg"): no prose to check.
bool isAddress(QStringView token)
{
    while (!token.isEmpty() && QStringView(u"([{'‚„«»").contains(token.front()))
        token = token.sliced(1);
    while (!token.isEmpty() && QStringView(u".,;:!?)]}'‘“«»").contains(token.back()))
        token.chop(1);
    if (token.contains(u"://") || token.startsWith(u"www.", Qt::CaseInsensitive)
        || token.startsWith(u"mailto:", Qt::CaseInsensitive))
        return true;
    const qsizetype at = token.indexOf(u'@');
    if (at > 0 && at < token.size() - 1)
        return true;
    static const QRegularExpression host(QStringLiteral("^[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)*\\.[a-z]{2,6}(/.*)?$"));
    return host.match(token).hasMatch();
}

bool isCheckable(QStringView word)
{
    if (word.size() < 2)
        return false;
    bool lower = false;
    for (const QChar c : word) {
        if (c.isNumber())
            return false;
        lower = lower || c.isLower();
    }
    // Words in capitals are abbreviations ("MDF", "CNC") or shouting.
    return lower;
}

// The words of the token [from, to).
void addWords(QStringView text, qsizetype from, qsizetype to, QList<Word> &words)
{
    qsizetype i = from;
    while (i < to) {
        if (text[i] == u'&') {
            // "Holz&amp;Leim"
            i += std::max(entityMarkupLength(text.first(to), i), qsizetype(1));
            continue;
        }
        if (!isWordChar(text[i])) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        // Joined by hyphens ("Nut-Feder-Verbindung"); an apostrophe ends a
        // word, so that "geht's" is checked as "geht".
        while (i < to && (isWordChar(text[i])
                          || (text[i] == u'-' && i + 1 < to && isWordChar(text[i + 1]) && isWordChar(text[i - 1]))))
            ++i;
        const QStringView word = text.sliced(start, i - start);
        if (isCheckable(word))
            words.append({start, i - start, i < text.size() && text[i] == u'.'});
    }
}

} // namespace

LineWords scanLine(QStringView line, bool inCode)
{
    LineWords result;
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n) {
        if (inCode) {
            const qsizetype close = line.indexOf(u"[/code]", i, Qt::CaseInsensitive);
            if (close < 0)
                break;
            i = close + 7;
            inCode = false;
            continue;
        }
        const QChar c = line[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == u'[') {
            bool opensCode = false;
            if (const qsizetype length = tagLength(line, i, opensCode)) {
                i += length;
                inCode = opensCode;
            } else {
                ++i;
            }
            continue;
        }
        if (c == u'&' || c == u'<') {
            const qsizetype length = entityMarkupLength(line, i);
            i += length ? length : 1;
            continue;
        }
        qsizetype end = i + 1;
        while (end < n && !endsToken(line[end]) && !line.sliced(end).startsWith(u"&lt;", Qt::CaseInsensitive))
            ++end;
        if (!isAddress(line.sliced(i, end - i)))
            addWords(line, i, end, result.words);
        i = end;
    }
    result.inCode = inCode;
    return result;
}

} // namespace tarnvik::spelling
