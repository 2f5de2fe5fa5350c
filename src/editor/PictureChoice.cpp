#include "editor/PictureChoice.h"

#include "state/Endpoints.h"

#include <limits>

namespace tarnvik::picture {

std::optional<qint32> wholeNumber(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > std::numeric_limits<qint32>::max())
            return std::nullopt;
    }
    return qint32(value);
}

bool idAcceptable(const QString &text)
{
    const std::optional<qint32> number = wholeNumber(text);
    return number && *number > 0;
}

bool externalAddressAcceptable(const QString &text)
{
    return text.size() > 8;
}

bool digitFilterRefuses(int key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return false;
    case Qt::Key_Backspace:
        return true;
    default:
        break;
    }
    // Ctrl with a letter types a control character, whatever text the
    // platform attaches to the event.
    const bool control = modifiers.testFlag(Qt::ControlModifier) && !modifiers.testFlag(Qt::AltModifier);
    if (control && key >= Qt::Key_A && key <= Qt::Key_Z)
        return true;
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return true;
    }
    return false;
}

QString recentPictureCaption(const QString &entry)
{
    constexpr qsizetype kShown = 40;
    QString shown = entry.size() > kShown ? entry.left(kShown) + QChar(0x2026) : entry;
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    return QLatin1String("Bild ID=") + shown;
}

QString recentPictureAddress(const QString &entry)
{
    const std::optional<qint32> number = wholeNumber(entry);
    if (!number)
        return {};
    return pictureAddress(QString::number(*number));
}

} // namespace tarnvik::picture
