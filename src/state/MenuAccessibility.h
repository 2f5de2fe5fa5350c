#pragma once

namespace tarnvik {

// Puts the open pop-up menus that no control lists (context menus above
// all) among the children of the application in the accessibility tree.
// Qt lists a pop-up menu only under the tool button or menu bar that opens
// it, so a context menu was out of reach of a screen reader. Takes effect
// when called before anything asked for the application's accessible
// object: first thing in main(); further calls do nothing.
void installMenuAccessibility();

} // namespace tarnvik
