#include "state/PasswortWait.h"

#include <QPointer>
#include <QWidget>

namespace tarnvik {

void afterPasswortKnown(QWidget *window, std::function<void()> then)
{
    // The data module reads the password while it starts.
    if (window && then)
        then();
}

} // namespace tarnvik
