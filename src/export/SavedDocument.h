#pragma once

// Saving the export's document so that a failure loses nothing: neither an
// earlier document of the same name nor the user's trust in the result.
// Only for translation units built with the LibreOffice SDK.

#include "export/OfficeUno.h"

#include <com/sun/star/frame/XModel.hpp>

namespace tarnvik::word {

// The text for a save that failed because the disk is full.
QString noSpaceMessage();

// Saves `model` as a Word 97 document in place of `file`: first under a
// temporary name in the same folder, where it must not come out empty;
// then in place of `file`, the earlier file set aside; then opened hidden
// in the office, where it must hold `pictures` pictures of its own. Returns
// that opened document, bound to `file`, and drops the earlier file. On
// failure the earlier file is back in place, nothing else of the save is
// left, and a WordError (save failed) says why in German.
css::uno::Reference<css::frame::XModel> saveChecked(const css::uno::Reference<css::frame::XDesktop2> &desktop,
                                                    const css::uno::Reference<css::frame::XModel> &model,
                                                    const QString &file, int pictures);

} // namespace tarnvik::word
