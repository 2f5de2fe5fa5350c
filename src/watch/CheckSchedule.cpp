#include "watch/CheckSchedule.h"

#include <QLocale>

#include <algorithm>

namespace tarnvik::watch {

namespace {
constexpr qint64 kDefaultMinutes = 15;
constexpr qint64 kDaySeconds = 24 * 60 * 60;
constexpr qint64 kMinArgumentSeconds = 5;

std::optional<qint64> wholeNumber(const QString &text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}
} // namespace

CheckSchedule::CheckSchedule(qint64 intervalSeconds) : m_interval(std::clamp<qint64>(intervalSeconds, 1, kDaySeconds))
{
}

void CheckSchedule::succeeded()
{
    m_failures = 0;
    m_retryAfter = 0;
}

void CheckSchedule::failed(std::optional<qint64> retryAfterSeconds)
{
    m_failures = std::min(m_failures + 1, 30);
    m_retryAfter = std::clamp<qint64>(retryAfterSeconds.value_or(0), 0, kMaxRetryAfterSeconds);
}

qint64 CheckSchedule::nextDelayMs(double random) const
{
    qint64 seconds = m_interval;
    const qint64 ceiling = std::max(m_interval, kMaxBackOffSeconds);
    for (int i = 0; i < m_failures && seconds < ceiling; ++i)
        seconds = std::min(seconds * 2, ceiling);
    return std::max(jittered(seconds * 1000, random), m_retryAfter * 1000);
}

qint64 CheckSchedule::firstDelayMs(double random) const
{
    return jittered(std::min(m_interval, kFirstCheckSeconds) * 1000, random);
}

qint64 jittered(qint64 ms, double random)
{
    const double factor = 0.9 + 0.2 * std::clamp(random, 0.0, 1.0);
    return qint64(double(ms) * factor + 0.5);
}

std::optional<qint64> retryAfterSeconds(const QByteArray &value, const QDateTime &now)
{
    const QString text = QString::fromLatin1(value.left(100)).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (const auto seconds = wholeNumber(text)) {
        if (*seconds < 0)
            return std::nullopt;
        return std::min(*seconds, CheckSchedule::kMaxRetryAfterSeconds);
    }
    // "Sun, 06 Nov 1994 08:49:37 GMT", the only date form a server may send.
    QDateTime when = QLocale::c().toDateTime(text, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    if (!when.isValid())
        return std::nullopt;
    when.setTimeSpec(Qt::UTC);
    const qint64 seconds = now.secsTo(when);
    if (seconds <= 0)
        return std::nullopt;
    return std::min(seconds, CheckSchedule::kMaxRetryAfterSeconds);
}

qint64 intervalFromSetting(const QVariant &minutes)
{
    const std::optional<qint64> value = minutes.isValid() ? wholeNumber(minutes.toString()) : std::nullopt;
    return std::clamp<qint64>(value.value_or(kDefaultMinutes), 1, kDaySeconds / 60) * 60;
}

std::optional<qint64> intervalFromArguments(const QStringList &arguments)
{
    const QString option = QStringLiteral("--watch-interval");
    std::optional<qint64> result;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        std::optional<qint64> value;
        if (arguments[i] == option && i + 1 < arguments.size())
            value = wholeNumber(arguments[++i]);
        else if (arguments[i].startsWith(option + QLatin1Char('=')))
            value = wholeNumber(arguments[i].mid(option.size() + 1));
        if (value)
            result = std::clamp<qint64>(*value, kMinArgumentSeconds, kDaySeconds);
    }
    return result;
}

qint64 checkInterval(const QVariant &minutesSetting, const QStringList &arguments)
{
    return intervalFromArguments(arguments).value_or(intervalFromSetting(minutesSetting));
}

} // namespace tarnvik::watch
