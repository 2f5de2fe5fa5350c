#pragma once

#include <QIcon>
#include <QPixmap>
#include <QStringList>

// Indexes into the shared icon lists.
enum TarnvikIcon : int {
    icoPowertool = 0,
    icoHammer,
    icoSettings,
    icoAnswer,
    icoNewThread,
    icoDoor,
    icoBold,
    icoItalic,
    icoCenter,
    icoCode,
    icoBig,
    icoRed,
    icoPreview,
    icoListe,
    icoDoor2,
    icoPicture,
    icoWord,
    icoInfo,
    icoOpen,
    icoSave,
    icoLink,
    icoHoch,
    icoTief,
};
enum TarnvikIcon16 : int { ico16OpenFolder = 0, ico16Hoch, ico16Tief, ico16Center, ico16Big, ico16Code };

// The toolbar icons the windows share: the 24 x 24 list in its enabled
// (`PngImageList`) and greyed (`PngImageListDis`) look and the 16 x 16 list
// (`PngImageList16`), each addressed by index. Drawings are rendered from
// their SVG only when a button first paints them, so a window that asks
// for its icons pays nothing at start-up.
namespace TarnvikIcons {

// The icon for a toolbar action: the drawing, greyed when the action is
// disabled. A null icon for an index outside the list.
QIcon icon(int index);
QIcon icon16(int index);

// Single images of the 24 x 24 list, enabled and greyed.
QPixmap image(int index);
QPixmap disabledImage(int index);

} // namespace TarnvikIcons
