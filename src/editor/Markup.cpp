#include "editor/Markup.h"

#include "editor/BodyText.h"
#include "state/TextFile.h"

#include <QTextBlock>
#include <QTextDocument>

namespace tarnvik::markup {

QString openTag(const QString &word)
{
    return QLatin1Char('[') + word + QLatin1Char(']');
}

QString closeTag(const QString &word)
{
    return QLatin1String("[/") + word + QLatin1Char(']');
}

QString escapedOpenTag(const QString &word)
{
    return QLatin1String("&lt;") + word + QLatin1String("&gt;");
}

QString escapedCloseTag(const QString &word)
{
    return QLatin1String("&lt;/") + word + QLatin1String("&gt;");
}

QStringList listBlock()
{
    return {QStringLiteral("[List]"), QStringLiteral("[*]"), QStringLiteral("[*]"),
            QStringLiteral("[*]"),    QStringLiteral("[*]"), QStringLiteral("[/List]")};
}

QString linkMarkup(const QString &address, const QString &label)
{
    return QStringLiteral("&lt;a href=\"%1\" target=\"_blank\"&gt;%2&lt;/a&gt;").arg(address, label);
}

QString sizeAttributes(const QString &width, const QString &height)
{
    if (width.isEmpty() || height.isEmpty())
        return {};
    return QStringLiteral(" Width=\"%1\" Height=\"%2\"").arg(width, height);
}

QString pictureLine(const QString &address, const QString &sizeAttributes)
{
    return QStringLiteral("[center]&lt;img src=\"%1\"%2 border=\"3\"&gt;[/center]").arg(address, sizeAttributes);
}

QString recentPictureLine(const QString &address)
{
    return QLatin1String("[center]&lt;img src='") + address + QLatin1String("' border='3'&gt;[/center]");
}

namespace {
QTextCursor caretAt(QTextCursor cursor, int position)
{
    cursor.setPosition(qBound(0, position, cursor.document()->characterCount() - 1));
    return cursor;
}

QString selectedLfText(const QTextCursor &cursor)
{
    return body::toLf(cursor.selectedText());
}
} // namespace

QTextCursor replaceSelection(QTextCursor cursor, const QString &text, qsizetype caretOffset)
{
    const int start = cursor.selectionStart();
    cursor.beginEditBlock();
    cursor.insertText(text);
    cursor.endEditBlock();
    return caretAt(cursor, start + int(caretOffset));
}

QTextCursor insertTag(QTextCursor cursor, const QString &word)
{
    if (cursor.hasSelection()) {
        const QString text = openTag(word) + selectedLfText(cursor) + closeTag(word);
        return replaceSelection(cursor, text, text.size());
    }
    return replaceSelection(cursor, openTag(word) + closeTag(word), word.size() + 2);
}

QTextCursor insertEscapedTag(QTextCursor cursor, const QString &word)
{
    if (cursor.hasSelection()) {
        const QString text = escapedOpenTag(word) + selectedLfText(cursor) + escapedCloseTag(word);
        return replaceSelection(cursor, text, text.size());
    }
    const QString open = escapedOpenTag(word);
    return replaceSelection(cursor, open + QLatin1Char(' ') + escapedCloseTag(word), open.size());
}

QTextCursor insertLink(QTextCursor cursor, const QString &markup)
{
    return replaceSelection(cursor, markup, markup.size());
}

int insertLinesAfterCaretLine(QTextCursor cursor, const QStringList &lines)
{
    const QTextBlock line = cursor.document()->findBlock(cursor.selectionStart());
    const int lineEnd = line.position() + line.length() - 1; // before its break
    cursor.clearSelection();
    cursor.setPosition(lineEnd);
    cursor.beginEditBlock();
    cursor.insertText(QLatin1Char('\n') + lines.join(QLatin1Char('\n')));
    cursor.endEditBlock();
    return lineEnd + 1;
}

QTextCursor insertList(QTextCursor cursor)
{
    const QStringList lines = listBlock();
    const int first = insertLinesAfterCaretLine(cursor, lines);
    return caretAt(cursor, first + int(lines.first().size()) + 1);
}

QTextCursor insertPictureLine(QTextCursor cursor, const QString &line)
{
    const int first = insertLinesAfterCaretLine(cursor, {line});
    const int lineEnd = first + int(line.size());
    const int bodyEnd = cursor.document()->characterCount() - 1;
    return caretAt(cursor, lineEnd < bodyEnd ? lineEnd + 1 : lineEnd);
}

QString answerSubject(const QString &pageTitle)
{
    qsizetype start = 0;
    while (start < pageTitle.size() && pageTitle.at(start).isSpace())
        ++start;
    if (QStringView(pageTitle).mid(start).startsWith(QLatin1String("Re:"), Qt::CaseInsensitive))
        return pageTitle;
    return QLatin1String("Re: ") + pageTitle;
}

QString subjectWithPictureMarker(const QString &subject)
{
    if (subject.contains(QLatin1String("Bild"), Qt::CaseSensitive))
        return subject;
    return subject + QLatin1String(" [mit Bild]");
}

qsizetype templateCaretPosition(const QString &lfBody)
{
    const QStringList lines = splitLines(lfBody);
    if (lines.size() <= 2)
        return 0;
    return lines.at(0).size() + 1 + lines.at(1).size() + 1;
}

} // namespace tarnvik::markup
