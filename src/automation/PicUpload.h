#pragma once

class QWidget;

// Leads the user through the picture site's pages modally over `owner`, in
// upload mode or manage mode; true when a picture number was added to the
// history meanwhile.
bool OpenPictureUpload(QWidget *owner, bool uploadMode);
