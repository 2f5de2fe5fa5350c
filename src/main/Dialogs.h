#pragma once

class QWidget;

namespace tarnvik {

// Shows errors that end a command in a message box titled "Tarnvik".
void installStandardErrorReport();

// A short notice for a function that this version does not offer yet; it
// never pretends that something was sent, uploaded or saved.
void showNotYetAvailable(QWidget *owner);

} // namespace tarnvik
