#include "export/WordConnection.h"
#include "export/WordOffice.h"

// This build carries no word-processor binding: the export keeps its HTML
// file and pictures and says that the word processor is missing.

void CreateWordConnections()
{
}

void DisconnectWord()
{
}

QStringList ListOpenDocuments()
{
    return {};
}

void OpenInWord(const QString &, bool, bool)
{
    throw tarnvik::word::WordError{tarnvik::word::unavailableMessage(), true};
}

namespace tarnvik::word {
bool isAvailable()
{
    return false;
}

WordBuildResult buildDocumentNow(const QString &, const QString &, const QString &, int, bool, int,
                                 const WordBuildStage &)
{
    WordBuildResult result;
    result.error = unavailableMessage();
    result.officeMissing = true;
    return result;
}

void detail::releaseConnections()
{
}
} // namespace tarnvik::word
