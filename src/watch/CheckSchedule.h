#pragma once

#include <QDateTime>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace tarnvik::watch {

// When the next check runs: every interval, each time shifted by a random
// ±10 %. After a failed check the wait doubles up to two hours (or the
// interval, when that is longer) and is never shorter than a server's
// Retry-After.
class CheckSchedule
{
public:
    static constexpr qint64 kMaxBackOffSeconds = 2 * 60 * 60;
    static constexpr qint64 kMaxRetryAfterSeconds = 24 * 60 * 60;
    // The first check after the start waits no longer than this.
    static constexpr qint64 kFirstCheckSeconds = 60;

    explicit CheckSchedule(qint64 intervalSeconds);

    void succeeded();
    void failed(std::optional<qint64> retryAfterSeconds = std::nullopt);
    int failures() const { return m_failures; }

    // Milliseconds until the next check; `random` lies in [0, 1).
    qint64 nextDelayMs(double random) const;
    qint64 firstDelayMs(double random) const;

private:
    qint64 m_interval;
    int m_failures = 0;
    qint64 m_retryAfter = 0;
};

// `ms` shifted by up to ±10 %: `random` 0 gives 90 %, 0.5 the value, 1 110 %.
qint64 jittered(qint64 ms, double random);

// A Retry-After header: seconds or an HTTP date; none when it is neither or
// lies in the past. At most a day.
std::optional<qint64> retryAfterSeconds(const QByteArray &value, const QDateTime &now);

// The interval in seconds from the settings' "[Beobachten] Minuten": 15
// minutes when missing or no whole number, at least 1, at most a day.
qint64 intervalFromSetting(const QVariant &minutes);
// "--watch-interval SECONDS" (or "--watch-interval=SECONDS"): at least 5, at
// most a day; none when the option is missing or its value no whole number.
std::optional<qint64> intervalFromArguments(const QStringList &arguments);
// The command line's interval, else the settings'.
qint64 checkInterval(const QVariant &minutesSetting, const QStringList &arguments);

} // namespace tarnvik::watch
