#pragma once

#include <QString>
#include <QStringList>

class QTextDocument;

// The post body as the rest of the program sees it: CR LF between lines, and
// caret positions that count a line break as its two characters. The body
// field itself keeps one character per line break; these functions translate
// between the two counts.
namespace tarnvik::body {

// "a\nb" -> "a\r\nb".
QString toCrLf(const QString &lfText);

// Any mix of CR LF, lone CR, lone LF and the text document's paragraph and
// line separators -> LF only.
QString toLf(const QString &text);

// The document's text with LF between lines. Unlike
// QTextDocument::toPlainText() it leaves non-breaking spaces alone, so what
// the user typed is handed on unchanged.
QString documentText(const QTextDocument &document);

// Position in the CR LF text for a position in the LF text.
qsizetype crLfPosition(const QString &lfText, qsizetype lfPosition);

// Position in the LF text for a position in the CR LF text. A position
// between the CR and the LF of a break maps to the start of that break.
qsizetype lfPosition(const QString &lfText, qsizetype crLfPosition);

} // namespace tarnvik::body
