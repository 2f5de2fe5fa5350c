#include "browser/HangWatchdog.h"

#include <QDeadlineTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace {
constexpr int kIntervalMs = 500;

int &threshold()
{
    static int milliseconds = 5000;
    return milliseconds;
}

qint64 steadyNow()
{
    return QDeadlineTimer::current().deadline();
}
} // namespace

HangWatchdog::HangWatchdog(QWebEnginePage *page, QObject *parent) : QObject(parent), m_page(page)
{
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &HangWatchdog::check);
    m_timer.start();
}

void HangWatchdog::setThreshold(int milliseconds)
{
    threshold() = qMax(kIntervalMs, milliseconds);
}

void HangWatchdog::reset()
{
    m_hung = false;
    m_processEnded = false;
    m_askedAt = -1;
    ++m_question;
}

void HangWatchdog::processEnded()
{
    m_processEnded = true;
    m_askedAt = -1;
}

void HangWatchdog::check()
{
    if (m_processEnded || !m_page || m_page->url().isEmpty())
        return;
    if (m_askedAt >= 0) {
        if (!m_hung && steadyNow() - m_askedAt >= threshold()) {
            m_hung = true;
            Q_EMIT hung();
        }
        return;
    }
    m_askedAt = steadyNow();
    const quint64 question = ++m_question;
    // A hung process never answers; the answer of a page destroyed meanwhile
    // finds the watchdog gone.
    QPointer<HangWatchdog> self(this);
    m_page->runJavaScript(QStringLiteral("1"), QWebEngineScript::ApplicationWorld, [self, question](const QVariant &) {
        if (!self || question != self->m_question)
            return;
        self->m_askedAt = -1;
        if (self->m_hung) {
            self->m_hung = false;
            Q_EMIT self->answersAgain();
        }
    });
}
