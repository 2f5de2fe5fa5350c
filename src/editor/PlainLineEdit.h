#pragma once

#include <QLineEdit>

// A one-line field that keeps its text unselected when it gets the focus by
// Tab, so that typing continues the text instead of replacing it.
class TPlainLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        const bool hadSelection = hasSelectedText();
        const int position = cursorPosition();
        QLineEdit::focusInEvent(event);
        if (!hadSelection && hasSelectedText()) {
            deselect();
            setCursorPosition(position);
        }
    }
};
