#pragma once

#include "state/Endpoints.h"

#include <QString>

#include <optional>

namespace tarnvik {

// Which of the thread actions a finished page offers.
struct PageActions {
    bool newThread = false;
    bool answer = false;
    bool exportWord = false;
    bool wholeThread = false; // the title is to be read from the page text
};

PageActions pageActionsFor(ForumKind forum, qint32 threadNumber, bool numberAfterHash);

// The thread title of a whole-thread page: the text after the title marker
// "<P align=center><BIG><BIG><STRONG>" up to the first "</STRONG>" of the
// first line (from the second one on) that holds the marker. No value when no
// line holds it; an empty title when the line has no "</STRONG>" after the
// marker's length.
std::optional<QString> threadTitleFromBody(const QString &bodyHtml);
// The marker the scan looks for, so the page need not be serialised beyond it.
QString threadTitleMarker();

// The address of a section script, with "/page/" and the page field's text
// appended when it holds a whole number above 1. `pageText` is reset to "1"
// when it holds no whole number.
QString sectionPageAddress(const QString &sectionAddress, QString &pageText);

} // namespace tarnvik
