#include "automation/Preview.h"

#include "main/Dialogs.h"

bool OpenPreview(QWidget *owner, qint32, const QString &, const QString &)
{
    tarnvik::showNotYetAvailable(owner);
    return false;
}
