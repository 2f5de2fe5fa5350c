#include "editor/SpellSetting.h"

#include "state/DModul.h"

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
    return opener() ? opener()() : TDMEnvironment::openPlatformSettings();
}

// Only a clear "false" (or 0) switches it off: an odd value from the store
// leaves the default.
bool switchedOn(const QSettings &settings)
{
    const QString value = settings.value(kKey).toString().trimmed();
    return value.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0 && value != QLatin1String("0");
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
    return switchedOn(*openSettings());
}

void setSwitchedOn(bool on)
{
    const std::unique_ptr<QSettings> settings = openSettings();
    if (switchedOn(*settings) != on)
        settings->setValue(kKey, on);
}

} // namespace tarnvik::spelling
