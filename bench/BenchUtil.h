#pragma once

// What the benchmarks share: the middle of a series of timings, waiting
// for something while the event loop runs, and the peak memory.
#include <QCoreApplication>
#include <QFile>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <functional>
#include <vector>

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Runs the event loop until `done` holds or the time is up; says which.
inline bool waitFor(const std::function<bool()> &done, int timeoutMs = 60000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    return done();
}

// The process's peak resident memory (VmHWM) in KiB, or -1.
inline long peakRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}
