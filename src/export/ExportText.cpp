#include "export/ExportText.h"

#include "export/FileNames.h"

#include <cstdio>
#include <optional>

namespace tarnvik {

namespace {

const QLatin1String kBodyMarker("<BODY");
const QLatin1String kMessageHeading("<P align=center><STRONG><BIG>");
const QLatin1String kMessageTextEnd("</FONT></P></BLOCKQUOTE>");
const QString kThreadEnd = QStringLiteral("Zurück zum Index");
const QLatin1String kMessageEnd("in diesem Thread");
const QLatin1String kPictureTag("<IMG SRC");
const QLatin1String kDocumentEnd("</BODY></HTML>");

bool isControlOrBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u <= 0x20 || u == 0x7f || (u >= 0x80 && u <= 0x9f);
}

bool isAttributeBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')
           || c == QLatin1Char('\f');
}

// Where the value of one picture tag's address stands in a line.
struct PictureTag {
    qsizetype tagStart = 0;
    qsizetype valueStart = 0; // first character of the value, after an opening quote
    qsizetype valueEnd = 0;   // one past the value, at the closing quote if there is one
    QChar quote;              // '"', '\'' or none for a bare value
    bool closed = false;      // the quote is closed in the line
};

// The next "<IMG SRC=" from `from` on, in any case. "<IMG SRCSET=" or a
// "<IMG SRC" without "=" is no picture.
std::optional<PictureTag> findPictureTag(QStringView line, qsizetype from)
{
    while (from < line.size()) {
        const qsizetype tag = line.indexOf(kPictureTag, from, Qt::CaseInsensitive);
        if (tag < 0)
            return std::nullopt;
        qsizetype at = tag + kPictureTag.size();
        while (at < line.size() && isAttributeBlank(line.at(at)))
            ++at;
        if (at >= line.size() || line.at(at) != QLatin1Char('=')) {
            from = tag + 1;
            continue;
        }
        ++at;
        while (at < line.size() && isAttributeBlank(line.at(at)))
            ++at;
        PictureTag found;
        found.tagStart = tag;
        if (at < line.size() && (line.at(at) == QLatin1Char('"') || line.at(at) == QLatin1Char('\''))) {
            found.quote = line.at(at);
            found.valueStart = at + 1;
            const qsizetype close = line.indexOf(found.quote, found.valueStart);
            found.closed = close >= 0;
            found.valueEnd = found.closed ? close : line.size();
        } else {
            found.valueStart = at;
            qsizetype end = at;
            while (end < line.size() && !isAttributeBlank(line.at(end)) && line.at(end) != QLatin1Char('>'))
                ++end;
            found.valueEnd = end;
        }
        return found;
    }
    return std::nullopt;
}

QString decodeAttribute(QString value)
{
    if (!value.contains(QLatin1Char('&')))
        return value;
    value.replace(QLatin1String("&quot;"), QLatin1String("\""));
    value.replace(QLatin1String("&#39;"), QLatin1String("'"));
    value.replace(QLatin1String("&lt;"), QLatin1String("<"));
    value.replace(QLatin1String("&gt;"), QLatin1String(">"));
    value.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return value;
}

QString addressOf(QStringView line, const PictureTag &tag)
{
    QStringView value = line.mid(tag.valueStart, tag.valueEnd - tag.valueStart);
    const qsizetype query = value.indexOf(QLatin1Char('?'));
    if (query >= 0)
        value = value.left(query);
    return decodeAttribute(value.toString());
}

// The address to fetch: absolute, http or https, with a host; else empty.
QUrl fetchableAddress(const QString &address, const QUrl &pageAddress)
{
    if (address.trimmed().isEmpty())
        return {};
    QUrl url(address.trimmed(), QUrl::TolerantMode);
    if (!url.isValid())
        return {};
    if (url.isRelative()) {
        if (!pageAddress.isValid() || pageAddress.isRelative())
            return {};
        url = pageAddress.resolved(url);
    }
    const QString scheme = url.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
        return {};
    url.setFragment({});
    return url;
}

// The page title as the serialiser writes text: the caption shown may be
// the document's title, in which "&", "<" and ">" stand unescaped.
QString escapedLikeThePage(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    escaped.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    escaped.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    escaped.replace(QChar(0x00a0), QLatin1String("&nbsp;"));
    return escaped;
}

} // namespace

QString DocTitleProposal(const QString &pageTitle)
{
    QString title = pageTitle;
    // Only an answer's prefix goes; a "Re: " further in is part of the title.
    if (title.startsWith(QLatin1String("Re: ")))
        title.remove(0, 3);
    qsizetype at = title.indexOf(QLatin1String("*MIT BILD*"));
    if (at >= 0)
        title.truncate(at);
    at = title.indexOf(QLatin1Char('('));
    if (at >= 0)
        title.truncate(at);
    at = title.indexOf(QLatin1Char(':'));
    if (at >= 0)
        title[at] = QLatin1Char(' ');
    at = title.indexOf(QLatin1Char(','));
    if (at >= 0)
        title[at] = QLatin1Char(' ');
    qsizetype start = 0;
    qsizetype end = title.size();
    while (start < end && isControlOrBlank(title.at(start)))
        ++start;
    while (end > start && isControlOrBlank(title.at(end - 1)))
        --end;
    return title.mid(start, end - start);
}

bool TitleKeyRefused(const QString &text)
{
    static const QString refused = QStringLiteral("#$(),.:");
    return text.size() == 1 && refused.contains(text.at(0));
}

QString ExtractPictureAddress(const QString &line)
{
    const std::optional<PictureTag> tag = findPictureTag(line, 0);
    return tag ? addressOf(line, *tag) : QString();
}

QString AddressExtension(const QString &address)
{
    const qsizetype dot = address.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? address : address.mid(dot);
}

QString ReplaceQuotedValue(const QString &line, const QString &value)
{
    const qsizetype first = line.indexOf(QLatin1Char('"'));
    if (first < 0)
        return line;
    const qsizetype second = line.indexOf(QLatin1Char('"'), first + 1);
    QString result = line.left(first + 1) + value;
    if (second >= 0)
        result += QStringView(line).mid(second);
    return result;
}

QString PictureFileName(const QString &title, int counter, const QString &address)
{
    return toValidFileName(title) + QLatin1Char('_') + QStringLiteral("%1").arg(counter, 2, 10, QLatin1Char('0'))
           + validExtension(AddressExtension(address));
}

QString PictureSource(const QString &localFile)
{
    return QUrl::fromLocalFile(localFile).toString(QUrl::FullyEncoded);
}

bool LocalizePicture(QString &line, PictureState &state)
{
    bool found = false;
    qsizetype from = 0;
    while (const std::optional<PictureTag> tag = findPictureTag(line, from)) {
        found = true;
        state.picturesFound = true;
        const QString address = addressOf(line, *tag);
        const QString file = state.picturesFolder + PictureFileName(state.title, state.counter, address);
        state.downloads.append({fetchableAddress(address, state.pageAddress), file});
        const QString source = PictureSource(file);
        if (tag->quote == QLatin1Char('"')) {
            // The first double quote from the tag on opens the picture's own value.
            line = line.left(tag->tagStart) + ReplaceQuotedValue(line.mid(tag->tagStart), source);
            from = tag->valueStart + source.size() + 1;
        } else {
            const qsizetype start = tag->quote.isNull() ? tag->valueStart : tag->valueStart - 1;
            const qsizetype end = tag->closed ? tag->valueEnd + 1 : tag->valueEnd;
            const QString quoted = QLatin1Char('"') + source + QLatin1Char('"');
            line.replace(start, end - start, quoted);
            from = start + quoted.size();
        }
        ++state.counter;
    }
    return found;
}

QStringList SplitBodyLines(const QString &body)
{
    QStringList lines;
    lines.reserve(body.size() / 40 + 1);
    const QStringView text(body);
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start).toString());
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    lines.append(text.mid(start).toString());
    return lines;
}

Extraction ExtractThread(const QStringList &source, const QString &pageTitle, bool wholeThread,
                         PictureState &pictures)
{
    Extraction result;
    QStringList &out = result.lines;
    const qsizetype count = source.size();
    qsizetype i = 0;
    const auto fail = [&](ExtractionEnd end) {
        result.end = end;
        out.clear();
        return result;
    };

    while (i < count && !source.at(i).contains(kBodyMarker))
        ++i;
    if (i >= count)
        return fail(ExtractionEnd::NoBody);
    out.append(source.at(i++));

    // An empty title matches no line.
    if (pageTitle.isEmpty())
        return fail(ExtractionEnd::NoTitleLine);
    const QString escapedTitle = escapedLikeThePage(pageTitle);
    while (i < count && !source.at(i).contains(pageTitle) && !source.at(i).contains(escapedTitle))
        ++i;
    if (i >= count)
        return fail(ExtractionEnd::NoTitleLine);
    out.append(source.at(i++));

    if (wholeThread) {
        bool inMessage = false;
        for (; i < count; ++i) {
            const QString &line = source.at(i);
            if (line.contains(kThreadEnd)) {
                out.append(kDocumentEnd);
                result.end = ExtractionEnd::Complete;
                return result;
            }
            if (!inMessage) {
                if (line.contains(kMessageHeading)) {
                    out.append(line);
                    inMessage = true;
                }
                continue;
            }
            QString text = line;
            LocalizePicture(text, pictures);
            out.append(text);
            if (line.contains(kMessageTextEnd)) {
                inMessage = false;
                // The line after a message's text is taken only for its picture.
                if (++i >= count)
                    break;
                QString after = source.at(i);
                if (LocalizePicture(after, pictures))
                    out.append(after);
                out.append(QString());
                out.append(QString());
            }
        }
    } else {
        for (; i < count; ++i) {
            const QString &line = source.at(i);
            if (line.contains(kMessageEnd)) {
                out.append(kDocumentEnd);
                result.end = ExtractionEnd::Complete;
                return result;
            }
            QString text = line;
            LocalizePicture(text, pictures);
            out.append(text);
        }
    }
    return fail(ExtractionEnd::NoEndMarker);
}

QString ExtractionFailureText(ExtractionEnd end, bool wholeThread)
{
    QString reason;
    switch (end) {
    case ExtractionEnd::Complete:
        return {};
    case ExtractionEnd::NoBody:
        reason = QStringLiteral("der Anfang des Seitentexts fehlt.");
        break;
    case ExtractionEnd::NoTitleLine:
        reason = QStringLiteral("die Zeile mit dem Seitentitel fehlt.");
        break;
    case ExtractionEnd::NoEndMarker:
        reason = wholeThread ? QStringLiteral("das Ende der Beiträge („Zurück zum Index“) fehlt.")
                             : QStringLiteral("das Ende des Beitrags („in diesem Thread“) fehlt.");
        break;
    }
    return QStringLiteral("Diese Seite lässt sich nicht exportieren: ") + reason;
}

QByteArray EncodeWorkFile(const QStringList &lines)
{
    qsizetype size = 0;
    for (const QString &line : lines)
        size += line.size() + 2;
    QByteArray out;
    out.reserve(size + size / 8);
    char reference[16];
    for (const QString &line : lines) {
        const qsizetype n = line.size();
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = line.at(i).unicode();
            if (c >= 0x20 && c < 0x7f) {
                out.append(char(c));
                continue;
            }
            if (c == u'\t' || (c > 0 && c < 0x20)) {
                out.append(char(c));
                continue;
            }
            char32_t codePoint = c;
            if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(line.at(i + 1).unicode()))
                codePoint = QChar::surrogateToUcs4(c, line.at(++i).unicode());
            else if (QChar::isSurrogate(c) || c == 0)
                codePoint = 0xfffd;
            const int length = std::snprintf(reference, sizeof reference, "&#%u;", unsigned(codePoint));
            out.append(reference, length);
        }
        out.append("\r\n", 2);
    }
    return out;
}

} // namespace tarnvik
