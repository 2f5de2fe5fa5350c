#pragma once

#include "state/Endpoints.h"

#include <QString>

// Result of reading a page address: the section, and for a thread page the
// number at its end and whether that number follows a "#".
struct UrlClass {
    ForumKind forum = Forums::None;
    bool hasRead = false;           // "/read/" in the address
    qint32 threadNumber = 0;        // 0 when the tail is no number or too large
    bool numberAfterHash = false;
};
UrlClass classifyAddress(const QString &lowerCaseAddress);

namespace tarnvik {
// The address with only the ASCII letters A to Z lowered.
QString lowerAscii(const QString &text);
} // namespace tarnvik
