#include "editor/SpellSetting.h"

namespace tarnvik::spelling {

namespace {

const QString kKey = QStringLiteral("Rechtschreibung/An");

SettingsOpener &opener()
{
    static SettingsOpener stored;
    return stored;
}

std::unique_ptr<QSettings> openSettings()
{
    if (opener())
        return opener()();
    // The store the data module opens for the program.
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tarnvik"),
                                       QString());
}

} // namespace

SettingsOpener setSettingsOpener(SettingsOpener replacement)
{
    SettingsOpener previous = std::move(opener());
    opener() = std::move(replacement);
    return previous;
}

bool isSwitchedOn()
{
    // Only a clear "false" (or 0) switches it off: an odd value from the
    // store leaves the default.
    const QString value = openSettings()->value(kKey).toString().trimmed();
    return value.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0 && value != QLatin1String("0");
}

void setSwitchedOn(bool on)
{
    if (isSwitchedOn() != on)
        openSettings()->setValue(kKey, on);
}

} // namespace tarnvik::spelling
