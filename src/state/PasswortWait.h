#pragma once

#include <functional>

class QWidget;

namespace tarnvik {

// Runs `then` once the user's password is known to the data module: at once
// where it is, else when the keychain answers (it may be waiting for the
// user at its own prompt). The window stays usable meanwhile; where the
// answer takes longer than a moment, a short note in `window` says what the
// program waits for. Nothing runs when `window` is gone first.
void afterPasswortKnown(QWidget *window, std::function<void()> then);

} // namespace tarnvik
