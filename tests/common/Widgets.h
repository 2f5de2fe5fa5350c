#pragma once

// Small helpers for the suites that drive real windows.

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>

namespace testwidgets {

// With TARNVIK_SCREENSHOT_DIR set, keeps a picture of `window` for a look,
// taken after `settleMs` so that a page inside it has painted.
inline void keepScreenshot(QWidget *window, const QString &name, int settleMs = 0)
{
    const QString dir = qEnvironmentVariable("TARNVIK_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    if (settleMs > 0)
        QTest::qWait(settleMs);
    window->grab().save(dir + QLatin1Char('/') + name);
}

// The same for the whole screen, window manager decorations included.
inline void keepScreenshot(const QString &name)
{
    const QString dir = qEnvironmentVariable("TARNVIK_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QGuiApplication::primaryScreen()->grabWindow(0).save(dir + QLatin1Char('/') + name);
}

// The control `name` of `dialog`; a missing one ends the suite.
template<typename T>
T *child(QWidget *dialog, const char *name)
{
    T *widget = dialog->findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no control %s", name);
    return widget;
}

// Without a window manager a shown window is not activated by itself.
inline bool showActive(QWidget *window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

} // namespace testwidgets
