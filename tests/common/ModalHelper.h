#pragma once

// Acting on a modal window once it shows: tests that run a window's exec()
// arm this first. A window that never comes, or comes and is never acted on,
// must not hang the suite: after the deadline the helper gives up, closes a
// modal window that is still open (so the blocked exec() returns) and says
// so, and the test fails on the flag.
#include <QApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <functional>
#include <memory>

// What became of one armed helper.
struct ModalWatch {
    bool acted = false;
    bool timedOut = false;
};

// Runs `act` on the next visible modal window other than `except` once it is
// active, within `timeoutMs`. Returns a handle whose flags the test checks.
inline std::shared_ptr<ModalWatch> onNextModal(std::function<void(QWidget *)> act, QWidget *except = nullptr,
                                               int timeoutMs = 10000)
{
    auto watch = std::make_shared<ModalWatch>();
    auto *timer = new QTimer;
    timer->setInterval(20);
    auto deadline = std::make_shared<QDeadlineTimer>(timeoutMs);
    QPointer<QWidget> exceptGuard(except);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, exceptGuard, except, deadline, watch] {
        QWidget *modal = QApplication::activeModalWidget();
        const bool candidate = modal && modal->isVisible() && !(except && modal == exceptGuard.data());
        if (candidate) {
            timer->stop();
            timer->deleteLater();
            modal->activateWindow();
            if (!QTest::qWaitForWindowActive(modal))
                qWarning("modal window did not become active");
            watch->acted = true;
            act(modal);
            return;
        }
        if (deadline->hasExpired()) {
            timer->stop();
            timer->deleteLater();
            watch->timedOut = true;
            qWarning("no modal window showed before the deadline");
            if (modal && modal != exceptGuard.data())
                modal->close();
        }
    });
    timer->start();
    return watch;
}

// The same for a window of type T: `act` gets it cast.
template<typename T>
std::shared_ptr<ModalWatch> onNextModalOf(std::function<void(T *)> act, int timeoutMs = 10000)
{
    return onNextModal(
        [act](QWidget *w) {
            if (auto *typed = qobject_cast<T *>(w))
                act(typed);
            else {
                qWarning("the modal window is not of the expected type; closing it");
                w->close();
            }
        },
        nullptr, timeoutMs);
}
