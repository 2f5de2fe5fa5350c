#pragma once

#include "archive/ArchiveStore.h"

// The offline view of an archived thread: a page of our own, built from a
// fixed template, in which every text from the archive is escaped. It has
// no script and takes no markup from the forum's pages; its content
// security policy forbids scripts besides.
namespace tarnvik::archive {

struct ViewOptions {
    QList<SearchTerm> terms;  // marked in the text
    bool insideWords = false; // terms found inside words as well
    QString picturesFolder;   // local copies are shown from this folder only
};

// The page's HTML (UTF-8 when written). Pictures come from their local copy
// where one exists in the pictures folder, else from their address.
QString offlineViewHtml(const StoredThread &thread, const ViewOptions &options);

// The page anchor of a message.
QString messageAnchor(qint64 messageId);

// `text` escaped for HTML, nothing else.
QString escapeHtml(QStringView text);

} // namespace tarnvik::archive
