#pragma once

#include <QString>
#include <functional>

namespace tarnvik {

// The text the standard error report shows: a period is added when the last
// character sorts after ".", so "Datei fehlt" reads "Datei fehlt." but
// "Fehler!" stays as it is.
QString standardErrorText(const QString &text);

// Every error that ends a command goes through here. The program installs a
// reporter that shows a message box; the core library has no windows and
// falls back to a warning on the console.
void reportError(const QString &text);

using ErrorReporter = std::function<void(const QString &)>;
// Installs a reporter and returns the one it replaces.
ErrorReporter setErrorReporter(ErrorReporter reporter);

} // namespace tarnvik
