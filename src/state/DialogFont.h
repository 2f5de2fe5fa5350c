#pragma once

#include <QFont>
#include <QStringList>

namespace tarnvik {

// The dialogs are laid out for an 8-point "MS Sans Serif", pixel by pixel.
// Where that font is missing, the platform's fallback is often much wider
// and texts would be cut off; fonts of about the same width stand in.
inline void substituteDialogFont()
{
    const QString family = QStringLiteral("MS Sans Serif");
    if (!QFont::substitutes(family).isEmpty())
        return;
    QFont::insertSubstitutions(family, {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Tahoma"),
                                        QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                                        QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
}

} // namespace tarnvik
