#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class QWebEnginePage;

// Tells when a page's process stops answering. The engine has no signal for
// it, so every half second the watchdog asks the page for a trivial result:
// a question left unanswered for the threshold counts as hung, an answer
// after that as busy only.
class HangWatchdog : public QObject
{
    Q_OBJECT
public:
    explicit HangWatchdog(QWebEnginePage *page, QObject *parent = nullptr);

    // How long a question may stay unanswered (tests shorten it); at least
    // one check interval.
    static void setThreshold(int milliseconds);

    bool isHung() const { return m_hung; }

    // A new document or a new process: what was asked before no longer counts.
    void reset();
    // The page's process has ended: no questions until the next reset.
    void processEnded();

Q_SIGNALS:
    void hung();
    void answersAgain();

private:
    void check();

    QPointer<QWebEnginePage> m_page;
    QTimer m_timer;
    qint64 m_askedAt = -1; // ms of the steady clock, -1 when no question is out
    quint64 m_question = 0;
    bool m_hung = false;
    bool m_processEnded = false;
};
