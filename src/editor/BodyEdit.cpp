#include "editor/BodyEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMimeData>

bool TBodyEdit::fits(qsizetype added) const
{
    if (m_maxLength < 0)
        return true;
    const QTextCursor cursor = textCursor();
    // characterCount() counts the document's closing paragraph mark.
    const qsizetype length = document()->characterCount() - 1 - (cursor.selectionEnd() - cursor.selectionStart());
    return length + added <= m_maxLength;
}

void TBodyEdit::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText() && !fits(source->text().size())) {
        emit insertRefused();
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

void TBodyEdit::keyPressEvent(QKeyEvent *event)
{
    // Typing at the bound does nothing, as in a one-line field with a
    // maximum length; deleting and moving work as ever.
    const QString typed = event->text();
    const bool addsText = (!typed.isEmpty() && typed.at(0).isPrint()) || event->key() == Qt::Key_Return
                          || event->key() == Qt::Key_Enter;
    if (addsText && !event->matches(QKeySequence::Paste) && !fits(typed.isEmpty() ? 1 : typed.size())) {
        QApplication::beep();
        event->accept();
        return;
    }
    // Shift+Enter would put a soft break inside a line; the body knows only
    // real line breaks.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && event->modifiers().testFlag(Qt::ShiftModifier)) {
        QTextCursor cursor = textCursor();
        cursor.insertText(QStringLiteral("\n"));
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}
