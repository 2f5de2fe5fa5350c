#pragma once

class FindBar;
class QWebEnginePage;
class QWidget;

namespace tarnvik {

// The keys every desktop browser has, for the page shown in `window`'s
// browser: Ctrl+Plus, Ctrl+Minus and Ctrl+0 zoom (the factor holds for every
// page of the program until it ends), Ctrl+F opens `findBar`. The keys work
// wherever the focus is in the window that holds `owner`.
void addPageShortcuts(QWidget *owner, QWebEnginePage *page, FindBar *findBar);

} // namespace tarnvik
