#include "state/MenuAccessibility.h"

#include <QAccessibleObject>
#include <QApplication>
#include <QMenu>
#include <QToolButton>

#include <algorithm>

namespace tarnvik {

namespace {

// Open menus that no tool button, menu bar or other menu lists.
QList<QMenu *> unlistedMenus()
{
    QList<QMenu *> menus;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        auto *menu = qobject_cast<QMenu *>(window);
        if (!menu || !menu->isVisible())
            continue;
        // A tool button's setMenu() puts the menu's action on the button.
        const QList<QObject *> owners = menu->menuAction()->associatedObjects();
        const bool listed = std::any_of(owners.cbegin(), owners.cend(), [menu](QObject *owner) {
            auto *button = qobject_cast<QToolButton *>(owner);
            return (button && button->menu() == menu) || qobject_cast<QMenu *>(owner)
                   || owner->inherits("QMenuBar");
        });
        if (!listed)
            menus << menu;
    }
    return menus;
}

class ApplicationWithMenus : public QAccessibleApplication
{
public:
    int childCount() const override { return QAccessibleApplication::childCount() + int(unlistedMenus().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const int own = QAccessibleApplication::childCount();
        if (index < own)
            return QAccessibleApplication::child(index);
        const QList<QMenu *> menus = unlistedMenus();
        return index - own < menus.size() ? QAccessible::queryAccessibleInterface(menus.at(index - own)) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const int own = QAccessibleApplication::indexOfChild(child);
        if (own >= 0 || !child)
            return own;
        const int at = int(unlistedMenus().indexOf(qobject_cast<QMenu *>(child->object())));
        return at < 0 ? -1 : QAccessibleApplication::childCount() + at;
    }
};

QAccessibleInterface *applicationFactory(const QString &, QObject *object)
{
    if (object && object == QCoreApplication::instance() && qobject_cast<QApplication *>(object))
        return new ApplicationWithMenus;
    return nullptr;
}

} // namespace

void installMenuAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(applicationFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace tarnvik
