#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The word-processor half of the thread export: the connections to the
// office, the list of its open documents for the title dialog, and the
// building of the export's document from its HTML work file.

// The connections live from the main window's first showing to the end of
// the program; releasing them never closes the word processor.
void CreateWordConnections();
void ReleaseWordConnections();
// Releases the document link, then the application link.
void DisconnectWord();

// Names of the documents open in the office the program reaches, in their
// opening order; empty when none runs (never starts one).
QStringList ListOpenDocuments();

namespace tarnvik::word {
// Whether this build carries the word-processor binding at all.
bool isAvailable();
// The German message for a build without it.
QString unavailableMessage();
} // namespace tarnvik::word

// Outcome of the office phase.
struct WordBuildResult {
    bool ok = false;
    QString documentFile; // the saved document (or "Temp.doc" for an insertion)
    QString error;        // for the status note; the office phase shows no box
};

// The office phase of the export: opens `htmlFile` as a text document,
// formats it, saves it under the export folder as `title` + ".doc" (target
// 0) or as "Temp.doc" inserted at the end of open document `targetIndex`,
// and shows the office. Returns at once; the office work runs off the UI
// thread and `finished` is called on the UI thread when it is over.
void BuildWordDocument(const QString &htmlFile, const QString &title, int targetIndex, bool picturesFound,
                       std::function<void(const WordBuildResult &)> finished);
