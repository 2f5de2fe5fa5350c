#pragma once

// The fixed formatting of the export's document in the office: print
// layout, page margins, paragraph indents, and pictures stored in the
// document and no wider than the page allows. Only for translation units
// built with the LibreOffice SDK.

#include "export/OfficeUno.h"

#include <com/sun/star/frame/XModel.hpp>

namespace tarnvik::word {

// Shows the document in print layout (the office's view only).
void setPrintLayout(const css::uno::Reference<css::frame::XModel> &model);

// Every page style in use gets margins of 2 cm.
void setPageMargins(const css::uno::Reference<css::frame::XModel> &model);

// Paragraphs 1 and 2 keep their indents; from the third on both are 0.
void clearIndentsFromThirdParagraph(const css::uno::Reference<css::frame::XModel> &model);

// Stores every picture in the document instead of linking its file, then
// narrows the ones wider than the limit, keeping their aspect ratio.
// Returns the bytes of the JPEG and PNG files among them: the office keeps
// those as they are in a Word document, so a saved document is at least
// that large.
qint64 embedAndNarrowPictures(const css::uno::Reference<css::frame::XModel> &model,
                              const css::uno::Reference<css::uno::XComponentContext> &office);

// Pictures the document holds itself, with pixels of their own (a missing
// file stays a link, or an empty placeholder).
int countEmbeddedPictures(const css::uno::Reference<css::frame::XModel> &model);

} // namespace tarnvik::word
