#include "state/ErrorReport.h"

#include <QDebug>

namespace tarnvik {

namespace {
ErrorReporter &currentReporter()
{
    static ErrorReporter reporter;
    return reporter;
}
} // namespace

QString standardErrorText(const QString &text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void reportError(const QString &text)
{
    const QString shown = standardErrorText(text);
    if (const auto &reporter = currentReporter())
        reporter(shown);
    else
        qWarning().noquote() << "Tarnvik:" << shown;
}

ErrorReporter setErrorReporter(ErrorReporter reporter)
{
    ErrorReporter previous = std::move(currentReporter());
    currentReporter() = std::move(reporter);
    return previous;
}

} // namespace tarnvik
