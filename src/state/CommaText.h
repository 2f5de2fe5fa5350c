#pragma once

#include <QStringList>

namespace tarnvik {

// The comma text of a string list, as the settings store keeps the picture
// history: entries joined by ",", an entry holding a blank, a control
// character, a comma or a double quote written in double quotes with inner
// double quotes doubled. Reading also takes blanks outside quotes as
// separators. At most maxEntries entries are read.
QString toCommaText(const QStringList &list);
QStringList fromCommaText(const QString &text, qsizetype maxEntries = 1000);

} // namespace tarnvik
