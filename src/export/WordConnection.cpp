#include "export/WordConnection.h"

#include <QTimer>

// This build carries no word-processor binding: the export keeps its HTML
// file and pictures and says that the word processor is missing.

void CreateWordConnections()
{
}

void ReleaseWordConnections()
{
}

void DisconnectWord()
{
}

QStringList ListOpenDocuments()
{
    return {};
}

namespace tarnvik::word {
bool isAvailable()
{
    return false;
}

QString unavailableMessage()
{
    return QStringLiteral("Die Textverarbeitung (LibreOffice Writer) ist nicht installiert.");
}
} // namespace tarnvik::word

void BuildWordDocument(const QString &, const QString &, int, bool,
                       std::function<void(const WordBuildResult &)> finished)
{
    WordBuildResult result;
    result.error = tarnvik::word::unavailableMessage();
    QTimer::singleShot(0, [finished = std::move(finished), result] {
        if (finished)
            finished(result);
    });
}
