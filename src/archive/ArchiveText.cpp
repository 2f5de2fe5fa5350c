#include "archive/ArchiveText.h"

#include <algorithm>

namespace tarnvik::archive {

namespace {

// Strips accents: follows the canonical decomposition to its base letter.
char32_t baseLetter(char32_t c)
{
    for (int depth = 0; depth < 4 && QChar::decompositionTag(c) == QChar::Canonical; ++depth) {
        const QString parts = QChar::decomposition(c);
        if (parts.isEmpty())
            break;
        const char32_t base = parts.at(0).isHighSurrogate() && parts.size() > 1
                                  ? QChar::surrogateToUcs4(parts.at(0), parts.at(1))
                                  : char32_t(parts.at(0).unicode());
        if (!QChar::isLetterOrNumber(base))
            break;
        c = base;
    }
    return c;
}

class Folder
{
public:
    Folder(FoldedText &out, bool track) : m_out(out), m_track(track) {}

    void run(QStringView text)
    {
        m_out.text.reserve(text.size());
        if (m_track) {
            m_out.from.reserve(text.size());
            m_out.to.reserve(text.size());
        }
        bool separator = false;
        for (qsizetype i = 0; i < text.size();) {
            char32_t c = text.at(i).unicode();
            qsizetype length = 1;
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
                length = 2;
            }
            const qsizetype end = i + length;
            if (!QChar::isLetterOrNumber(c)) {
                separator = true;
                m_plainVowel = false;
                i = end;
                continue;
            }
            if (separator && !m_out.text.isEmpty())
                push(u' ', i, i);
            separator = false;
            letter(c, i, end);
            i = end;
        }
    }

private:
    void letter(char32_t c, qsizetype start, qsizetype end)
    {
        bool accented = false;
        if (c < 0x80) {
            if (c >= 'A' && c <= 'Z')
                c += 'a' - 'A';
        } else {
            c = QChar::toLower(c);
            if (c == 0xdf || c == 0x1e9e) { // ß and the capital ẞ
                push(u's', start, end);
                push(u's', start, end);
                m_plainVowel = false;
                return;
            }
            const char32_t base = baseLetter(c);
            accented = base != c;
            c = base;
        }
        // "ae", "oe", "ue" written for ä, ö, ü: the e goes into the vowel.
        if (c == 'e' && m_plainVowel) {
            if (m_track)
                m_out.to.last() = end;
            m_plainVowel = false;
            return;
        }
        const QChar previous = m_out.text.isEmpty() ? QChar() : m_out.text.back();
        if (QChar::requiresSurrogates(c)) {
            push(QChar(QChar::highSurrogate(c)), start, end);
            push(QChar(QChar::lowSurrogate(c)), start, end);
        } else {
            push(QChar(char16_t(c)), start, end);
        }
        m_plainVowel = !accented && (c == 'a' || c == 'o' || c == 'u') && !(c == 'u' && previous == u'q');
    }

    void push(QChar c, qsizetype from, qsizetype to)
    {
        m_out.text.append(c);
        if (m_track) {
            m_out.from.append(from);
            m_out.to.append(to);
        }
    }

    FoldedText &m_out;
    bool m_track;
    bool m_plainVowel = false;
};

bool wordStart(const QString &folded, qsizetype at)
{
    return at == 0 || folded.at(at - 1) == u' ';
}

bool wordEnd(const QString &folded, qsizetype at)
{
    return at >= folded.size() || folded.at(at) == u' ';
}

QString quoted(const QString &folded)
{
    // Folded text holds letters, digits and blanks only: nothing to escape.
    return QLatin1Char('"') + folded + QLatin1Char('"');
}

void escapeInto(QString &out, QStringView text)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&': out += QLatin1String("&amp;"); break;
        case u'<': out += QLatin1String("&lt;"); break;
        case u'>': out += QLatin1String("&gt;"); break;
        case u'"': out += QLatin1String("&quot;"); break;
        case u'\'': out += QLatin1String("&#39;"); break;
        default: out += c;
        }
    }
}

} // namespace

FoldedText foldWithOrigin(QStringView text)
{
    FoldedText out;
    Folder(out, true).run(text);
    return out;
}

QString fold(QStringView text)
{
    FoldedText out;
    Folder(out, false).run(text);
    return out.text;
}

QList<SearchTerm> parseQuery(QStringView typed)
{
    typed = typed.left(kMaxQueryChars);
    QList<SearchTerm> terms;
    const auto add = [&terms](QStringView part, bool phrase) {
        const QString folded = fold(part);
        if (!folded.isEmpty() && terms.size() < kMaxTerms && !terms.contains(SearchTerm{folded, phrase}))
            terms.append({folded, phrase});
    };
    bool inQuote = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= typed.size(); ++i) {
        const bool atEnd = i == typed.size();
        const QChar c = atEnd ? QChar() : typed.at(i);
        const bool quote = c == u'"' || c == u'„' || c == u'“' || c == u'”';
        if (inQuote) {
            if (quote || atEnd) {
                add(typed.mid(start, i - start), true);
                inQuote = false;
                start = i + 1;
            }
        } else if (quote || atEnd || c.isSpace()) {
            add(typed.mid(start, i - start), false);
            inQuote = quote;
            start = i + 1;
        }
    }
    return terms;
}

QString wordQuery(const QList<SearchTerm> &terms)
{
    QStringList parts;
    for (const SearchTerm &term : terms)
        parts << quoted(term.folded) + (term.phrase ? QString() : QStringLiteral("*"));
    return parts.join(QLatin1Char(' '));
}

QString partQuery(const QList<SearchTerm> &terms, const QList<QStringList> &containing)
{
    QStringList parts;
    bool more = false;
    for (qsizetype i = 0; i < terms.size(); ++i) {
        const SearchTerm &term = terms.at(i);
        if (term.folded.size() < kMinPart || term.phrase)
            return {};
        QStringList alternatives{quoted(term.folded) + QLatin1Char('*')};
        for (const QString &word : containing.value(i))
            alternatives << quoted(word);
        more = more || alternatives.size() > 1;
        parts << QLatin1Char('(') + alternatives.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    return more ? parts.join(QStringLiteral(" AND ")) : QString();
}

QStringList partWords(const QString &folded)
{
    QStringList words;
    for (const QStringView word : QStringView(folded).split(u' ', Qt::SkipEmptyParts)) {
        // Compounds are made of letters; numbers, codes and addresses are not.
        if (word.size() > kMinPart && word.size() <= kMaxPartWord
            && std::none_of(word.begin(), word.end(), [](QChar c) { return c.isDigit(); }))
            words << word.toString();
    }
    words.removeDuplicates();
    return words;
}

QList<Hit> findHits(QStringView text, const QList<SearchTerm> &terms, bool insideWords)
{
    const FoldedText folded = foldWithOrigin(text);
    QList<Hit> hits;
    for (const SearchTerm &term : terms) {
        const qsizetype length = term.folded.size();
        for (qsizetype at = folded.text.indexOf(term.folded); at >= 0 && hits.size() < kMaxHits;
             at = folded.text.indexOf(term.folded, at + 1)) {
            if (!insideWords && !wordStart(folded.text, at))
                continue;
            if (term.phrase && !wordEnd(folded.text, at + length))
                continue;
            hits.append({folded.from.at(at), folded.to.at(at + length - 1)});
        }
    }
    std::sort(hits.begin(), hits.end(), [](const Hit &a, const Hit &b) { return a.start < b.start; });
    QList<Hit> merged;
    for (const Hit &hit : std::as_const(hits)) {
        if (!merged.isEmpty() && hit.start <= merged.last().end)
            merged.last().end = std::max(merged.last().end, hit.end);
        else
            merged.append(hit);
    }
    return merged;
}

Snippet makeSnippet(QStringView text, const QList<Hit> &hits, qsizetype width)
{
    const qsizetype anchor = hits.isEmpty() ? 0 : hits.first().start;
    qsizetype start = std::max<qsizetype>(0, anchor - width / 3);
    qsizetype end = std::min(text.size(), start + width);
    start = std::max<qsizetype>(0, std::min(start, end - width));
    // Cut between words where a blank is near.
    if (start > 0) {
        const qsizetype blank = text.indexOf(u' ', start);
        if (blank >= 0 && blank < anchor)
            start = blank + 1;
    }
    if (end < text.size()) {
        const qsizetype blank = text.lastIndexOf(u' ', end);
        if (blank > anchor)
            end = blank;
    }
    Snippet snippet;
    const QString ellipsis = QStringLiteral("…");
    if (start > 0)
        snippet.text = ellipsis;
    const qsizetype shift = snippet.text.size() - start;
    QString piece = text.mid(start, end - start).toString();
    for (QChar &c : piece) {
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
    }
    snippet.text += piece;
    if (end < text.size())
        snippet.text += ellipsis;
    for (const Hit &hit : hits) {
        if (hit.end <= start || hit.start >= end)
            continue;
        snippet.hits.append({std::max(hit.start, start) + shift, std::min(hit.end, end) + shift});
    }
    return snippet;
}

QString markedHtml(QStringView text, const QList<Hit> &hits, const QString &open, const QString &close)
{
    QString out;
    out.reserve(text.size() + text.size() / 8 + hits.size() * (open.size() + close.size()));
    qsizetype at = 0;
    for (const Hit &hit : hits) {
        if (hit.start < at || hit.end > text.size() || hit.start >= hit.end)
            continue;
        escapeInto(out, text.mid(at, hit.start - at));
        out += open;
        escapeInto(out, text.mid(hit.start, hit.end - hit.start));
        out += close;
        at = hit.end;
    }
    escapeInto(out, text.mid(at));
    return out;
}

} // namespace tarnvik::archive
