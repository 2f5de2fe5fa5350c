#include "automation/PicUpload.h"

#include "main/Dialogs.h"

bool OpenPictureUpload(QWidget *owner, bool)
{
    tarnvik::showNotYetAvailable(owner);
    return false;
}
