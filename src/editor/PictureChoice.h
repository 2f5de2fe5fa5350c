#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// The rules of the picture dialog and the recent-picture menu, apart from
// their windows.
namespace tarnvik::picture {

// The most digits the picture number field takes.
constexpr int kMaxIdDigits = 5;

// A text of decimal digits only (leading zeros allowed) whose value fits a
// signed 32-bit number; nothing else reads as a whole number.
std::optional<qint32> wholeNumber(const QString &text);

// "OK" of the picture dialog after the number field changed.
bool idAcceptable(const QString &text);
// "OK" of the picture dialog after the external address changed.
bool externalAddressAcceptable(const QString &text);

// Whether the number fields' filter discards a key press: every typed
// character except the digits is discarded, backspace and the control
// characters of Ctrl+letter included. Keys that type nothing (Delete,
// arrows, Shift+Insert) and the dialog's own keys (Enter, Escape, Tab) pass.
bool digitFilterRefuses(int key, Qt::KeyboardModifiers modifiers, const QString &text);

// Caption of a recent-picture menu entry: "Bild ID=" and the entry, with
// "&" shown as itself and an overlong entry shortened.
QString recentPictureCaption(const QString &entry);

// The address a recent-picture entry inserts: the number without leading
// zeros on the picture server; empty when the entry is no whole number.
QString recentPictureAddress(const QString &entry);

} // namespace tarnvik::picture
