#pragma once

#include <functional>

class QWidget;
class TDM;

namespace tarnvik {

// Runs `then` once the user's password is known to the data module: at once
// where it is, else when the keychain answers (it may be waiting for the
// user at its own prompt). The window stays usable meanwhile; where the
// answer takes longer than a moment, a short note in `window` says what the
// program waits for. Nothing runs when `window` is gone first.
void afterPasswortKnown(QWidget *window, std::function<void()> then);
// The same with the given data module in place of the program's one.
void afterPasswortKnown(QWidget *window, const TDM &dm, std::function<void()> then);

} // namespace tarnvik
