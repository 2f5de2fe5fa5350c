#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// A pair of arrow buttons bound to an edit field that holds a number: the
// arrows (and the arrow keys in the field) step the number within the range,
// while typing into the field stays unbounded.
class TUpDown : public QWidget
{
    Q_OBJECT
public:
    explicit TUpDown(QWidget *parent = nullptr);

    void setBuddy(QLineEdit *buddy);
    void setRange(int minimum, int maximum);
    void setPosition(int position);
    int position() const { return m_position; }

    void stepBy(int steps);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_buddy = nullptr;
    QToolButton *m_up = nullptr;
    QToolButton *m_down = nullptr;
    int m_minimum = 1;
    int m_maximum = 500;
    int m_position = 1;
};
