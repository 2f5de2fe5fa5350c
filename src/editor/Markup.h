#pragma once

#include <QString>
#include <QStringList>
#include <QTextCursor>

// The forum's markup as the editor writes it into a post, and the edits that
// put it into the body. The forum server interprets the markup; nothing here
// converts it. The edits work on a QTextCursor of the body's document, so
// the system clipboard is never touched and each command is one undo step.
// Positions are the document's own (one character per line break).
namespace tarnvik::markup {

// Square-bracket tags: "[b]" and "[/b]".
QString openTag(const QString &word);
QString closeTag(const QString &word);
// HTML tags written with entities, never with "<": "&lt;sup&gt;", "&lt;/sup&gt;".
QString escapedOpenTag(const QString &word);
QString escapedCloseTag(const QString &word);

// "[List]", four "[*]" and "[/List]".
QStringList listBlock();

// "&lt;a href="<address>" target="_blank"&gt;<label>&lt;/a&gt;"
QString linkMarkup(const QString &address, const QString &label);
// ' Width="<w>" Height="<h>"', or empty unless both are given.
QString sizeAttributes(const QString &width, const QString &height);
// The picture line of the picture dialog.
QString pictureLine(const QString &address, const QString &sizeAttributes);
// The picture line of the recent-picture menu (single quotes, no size).
QString recentPictureLine(const QString &address);

// Each of the following edits the cursor's document and returns the cursor
// to show: the caret where the command leaves it, nothing selected.

// Replaces the selection (or inserts at the caret) with `text`; the caret
// ends `caretOffset` characters after the start of the inserted text.
QTextCursor replaceSelection(QTextCursor cursor, const QString &text, qsizetype caretOffset);
// Wraps the selection in the tag pair, caret after the closing tag; without
// a selection an empty pair with the caret between the tags.
QTextCursor insertTag(QTextCursor cursor, const QString &word);
// Same for the escaped tags; an empty pair holds one blank and the caret
// stands after the opening tag, before the blank.
QTextCursor insertEscapedTag(QTextCursor cursor, const QString &word);
// Puts finished link markup in place of the selection, caret after it.
QTextCursor insertLink(QTextCursor cursor, const QString &markup);

// Inserts whole lines after the line that holds the caret (or the start of
// the selection). That line and the selected text stay as they are; after
// the last line of the body the block follows a line break, so an empty
// body becomes an empty line followed by the block. Returns the position of
// the first inserted line's start.
int insertLinesAfterCaretLine(QTextCursor cursor, const QStringList &lines);
// The list block after the caret's line, caret at the first "[*]".
QTextCursor insertList(QTextCursor cursor);
// One picture line after the caret's line, caret at the start of the line
// after it (or at the end of the body when the picture line is the last).
QTextCursor insertPictureLine(QTextCursor cursor, const QString &line);

// The subject of an answer: "Re: " and the page title, unless the title
// already starts with "Re:" (any letter case, after leading blanks).
QString answerSubject(const QString &pageTitle);
// Appends " [mit Bild]" unless the subject holds "Bild" already.
QString subjectWithPictureMarker(const QString &subject);
// Where the caret starts in a body taken from the template (LF text): the
// start of its third line when it has more than two, else the start.
qsizetype templateCaretPosition(const QString &lfBody);

} // namespace tarnvik::markup
