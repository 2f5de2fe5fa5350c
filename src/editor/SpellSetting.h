#pragma once

#include <QSettings>

#include <functional>
#include <memory>

// The editor's "Rechtschreibung" switch, kept in the program's settings
// store ([Rechtschreibung] An); on unless it was switched off.
namespace tarnvik::spelling {

using SettingsOpener = std::function<std::unique_ptr<QSettings>()>;
// Where the switch is kept: the program's settings store unless replaced
// (tests point it at a file of their own). Returns the opener it replaces;
// an empty one restores the program's store.
SettingsOpener setSettingsOpener(SettingsOpener opener);

bool isSwitchedOn();
void setSwitchedOn(bool on);

} // namespace tarnvik::spelling
