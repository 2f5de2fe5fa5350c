#include "browser/PageShortcuts.h"

#include "browser/FindBar.h"
#include "browser/PageZoom.h"

#include <QAction>
#include <QWebEnginePage>
#include <QWidget>

namespace tarnvik {

namespace {
void applySessionZoom(QWebEnginePage *page)
{
    if (!qFuzzyCompare(page->zoomFactor(), zoom::sessionFactor()))
        page->setZoomFactor(zoom::sessionFactor());
}

void addAction(QWidget *owner, const QString &caption, const QList<QKeySequence> &keys,
               const std::function<void()> &does)
{
    auto *action = new QAction(caption, owner);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, owner, does);
    owner->addAction(action);
}
} // namespace

void addPageShortcuts(QWidget *owner, QWebEnginePage *page, FindBar *findBar)
{
    const auto zoomTo = [page](double factor) {
        zoom::setSessionFactor(factor);
        applySessionZoom(page);
    };
    // Ctrl+= is Ctrl+Plus on keyboards where "+" needs Shift.
    addAction(owner, QStringLiteral("Vergrößern"),
              {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
              [page, zoomTo] { zoomTo(zoom::stepped(page->zoomFactor(), 1)); });
    addAction(owner, QStringLiteral("Verkleinern"), {QKeySequence(QKeySequence::ZoomOut)},
              [page, zoomTo] { zoomTo(zoom::stepped(page->zoomFactor(), -1)); });
    addAction(owner, QStringLiteral("Originalgröße"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
              [zoomTo] { zoomTo(zoom::kDefault); });
    addAction(owner, QStringLiteral("Suchen"), {QKeySequence(QKeySequence::Find)},
              [page, findBar] { findBar->open(page->selectedText()); });

    // The engine keeps a page's zoom from one document to the next; one
    // changed in another window meanwhile holds from the next document on.
    applySessionZoom(page);
    QObject::connect(page, &QWebEnginePage::loadStarted, page, [page] { applySessionZoom(page); });
}

} // namespace tarnvik
