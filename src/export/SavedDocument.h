#pragma once

// Saving the export's document so that a failure loses nothing: neither an
// earlier document of the same name nor the user's trust in the result.
// Only for translation units built with the LibreOffice SDK.

#include "export/OfficeUno.h"

#include <com/sun/star/frame/XModel.hpp>

namespace tarnvik::word {

// The text for a save that failed because the disk is full.
QString noSpaceMessage();

// What a saved document must hold.
struct SaveCheck {
    int pictures = 0;       // pictures of its own
    qint64 pictureBytes = 0; // it is at least this large (see embedAndNarrowPictures)
};

// Saves `model` as a Word 97 document as `file`, which it is then bound to.
// An earlier file of that name waits aside under a hidden name in the same
// folder until the saved one has proved whole: not empty, at least
// `check.pictureBytes` large, and with `check.pictures` pictures of its own.
// Then the earlier file goes. On failure the earlier file is back in place,
// nothing of the save is left, and a WordError (save failed) says why in
// German; the caller closes `model`.
void saveChecked(const css::uno::Reference<css::frame::XModel> &model, const QString &file, const SaveCheck &check);

} // namespace tarnvik::word
