#pragma once

#include <QPlainTextEdit>

// The editor's body field: plain text that takes no more than a bound of
// characters from the keyboard, a paste or a drop. The text layout of one
// huge paragraph keeps the window busy for seconds, so what the field takes
// in is held to what a post can be.
class TBodyEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;

    void setMaxLength(qsizetype length) { m_maxLength = length; }

signals:
    // A paste or drop was refused because the text would grow past the
    // bound; the text is unchanged.
    void insertRefused();

protected:
    void insertFromMimeData(const QMimeData *source) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Whether `added` characters fit in place of the selection.
    bool fits(qsizetype added) const;

    qsizetype m_maxLength = -1;
};
