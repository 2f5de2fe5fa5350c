#pragma once

// The page text a browser host serialises, waited for in a test.
#include "browser/BrowserHost.h"

#include <QtTest>

#include <memory>
#include <optional>

// The body's markup as the host serialises it (up to the line after
// `stopAfter` when given), or "<timeout>" when the page does not answer in
// time. The answer may come after the wait gave up; it then lands in memory
// of its own.
inline QString bodyText(BrowserHost *host, const QString &stopAfter = {}, int timeoutMs = 10000)
{
    auto result = std::make_shared<std::optional<QString>>();
    host->requestBodyOuterHtml([result](const QString &html) { *result = html; }, stopAfter);
    if (!QTest::qWaitFor([&] { return result->has_value(); }, timeoutMs))
        return QStringLiteral("<timeout>");
    return **result;
}
