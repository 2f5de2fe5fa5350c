#pragma once

// The two connection objects of the binding and the state that goes with
// them over the run. Only for translation units built with the LibreOffice
// SDK.

#include "export/OfficeLifetime.h"

#include <com/sun/star/frame/XModel.hpp>

#include <mutex>
#include <vector>

namespace tarnvik::word {

// The application connection: a link to the office on the program's pipe.
class TWordApplication
{
public:
    enum class ConnectKind { RunningInstance, RunningOrNew };

    ConnectKind connectKind = ConnectKind::RunningInstance;

    // Links to the office on the program's pipe. With RunningOrNew an office
    // is started when none answers, and `started` names it; an office that
    // `started` named and that is gone now leaves nothing behind. Throws
    // WordError.
    void connect(StartedOffice &started, const WordBuildStage &stage);
    void release();
    bool connected() const { return desktop.is(); }

    css::uno::Reference<css::uno::XComponentContext> context;
    css::uno::Reference<css::frame::XDesktop2> desktop;
};

// The document connection: a link to one document of the office.
class TWordDocument
{
public:
    // Links to `document`, releasing the earlier link; `ownedByProgram`
    // marks a document the program opened itself, the only kind the
    // cleanup closes.
    void pointAt(const css::uno::Reference<css::frame::XModel> &document, bool ownedByProgram);
    void release();

    css::uno::Reference<css::frame::XModel> model;
    bool owned = false;
};

// Both connections with what the program keeps beside them: the office it
// started, the names the title dialog was shown, and who hears of the
// stages of the office phase that holds the links.
class WordConnections
{
public:
    // The program's one pair, made on first use. It lives to the end of the
    // run and is never destroyed: the URE's own libraries may be gone before
    // static objects are.
    static WordConnections &program();

    // Held by whoever uses the links; one office phase at a time. Recursive:
    // the office phase opens its document through the entry point.
    std::recursive_mutex mutex;

    TWordApplication application;
    TWordDocument document;
    StartedOffice started;
    WordBuildStage stage;

    // Releases the document link, then the application link.
    void release();
    // Whether the office linked now is the one the program started.
    bool startedByProgram() const;
    void reportStage(const QString &text) const;

    // What the last listing showed the user, so that the office phase
    // inserts into the document the user chose even when the office's
    // documents changed since. `index` counts from 1; empty when the
    // listing had no such entry.
    void rememberListing(const QStringList &names);
    QString listedName(int index) const;

private:
    mutable std::mutex m_listingMutex;
    QStringList m_listing;
};

// The office's documents in their opening order, and the text documents
// among them: what the title dialog offers as targets.
std::vector<css::uno::Reference<css::frame::XModel>> openDocuments(const css::uno::Reference<css::frame::XDesktop2> &desktop);
std::vector<css::uno::Reference<css::frame::XModel>> openTextDocuments(const css::uno::Reference<css::frame::XDesktop2> &desktop);

// A document's name as the office shows it: its file name, or the title of
// a document that was never saved.
QString documentName(const css::uno::Reference<css::frame::XModel> &model);

// Shows the document's window in front.
void showDocument(const css::uno::Reference<css::frame::XModel> &model);

} // namespace tarnvik::word
