#include "ZLibBMPRegistration.h"

#include <QtPlugin>

// The plugin is linked in statically; importing it here means that whoever
// calls registerZbmFormat() also links the plugin, and its registration runs
// with the program's static initialisation, before Qt's image loader first
// looks at its plugin list.
Q_IMPORT_PLUGIN(ZLibBMPPlugin)

namespace tarnvik {

void registerZbmFormat()
{
    // Nothing left to do at run time; see Q_IMPORT_PLUGIN above.
}

QString imageFormatDescription(const QByteArray &format)
{
    const QByteArray key = format.toLower();
    if (key == "zbm")
        return QStringLiteral("ZLIB Compressed Bitmap");
    if (key == "bmp")
        return QStringLiteral("Windows Bitmaps (TZLIBBitmap)");
    return {};
}

QStringList zbmNameFilters()
{
    return {imageFormatDescription("zbm") + QStringLiteral(" (*.zbm)"),
            imageFormatDescription("bmp") + QStringLiteral(" (*.bmp)")};
}

} // namespace tarnvik
