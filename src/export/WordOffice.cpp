#include "export/WordOffice.h"

#include "export/WordLink.h"

#include <com/sun/star/util/XCloseable.hpp>

// The entry points of the word-processor binding on LibreOffice Writer
// through UNO; the office phase itself is in WordBuild.cpp.

using namespace tarnvik::word;
using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

void CreateWordConnections()
{
    WordConnections::program();
}

void DisconnectWord()
{
    // While an office phase runs it holds the links and releases them itself.
    WordConnections &c = WordConnections::program();
    std::unique_lock lock(c.mutex, std::try_to_lock);
    if (lock.owns_lock())
        c.release();
}

QStringList ListOpenDocuments()
{
    // While an office phase holds the program's links, a listing uses links
    // of its own.
    WordConnections &program = WordConnections::program();
    std::unique_lock lock(program.mutex, std::try_to_lock);
    TWordApplication ownApplication;
    TWordApplication &application = lock.owns_lock() ? program.application : ownApplication;
    StartedOffice notStarted;
    QStringList names;
    try {
        application.connectKind = TWordApplication::ConnectKind::RunningInstance;
        application.connect(lock.owns_lock() ? program.started : notStarted, {});
        for (const Reference<css::frame::XModel> &model : openTextDocuments(application.desktop)) {
            if (lock.owns_lock())
                program.document.pointAt(model, false);
            names << documentName(model);
        }
    } catch (...) {
        // No office on the pipe, or it ended meanwhile: no documents.
        names.clear();
    }
    if (lock.owns_lock())
        program.release();
    application.release();
    program.rememberListing(names);
    return names;
}

void OpenInWord(const QString &file, bool show, bool release)
{
    WordConnections &c = WordConnections::program();
    std::lock_guard lock(c.mutex);
    c.application.connectKind = TWordApplication::ConnectKind::RunningOrNew;
    c.application.connect(c.started, c.stage);
    const auto afterwards = [&] {
        if (show && c.document.model.is())
            showDocument(c.document.model);
        if (release)
            c.release();
    };
    try {
        c.reportStage(QStringLiteral("Dokument wird geöffnet…"));
        const Reference<css::lang::XComponent> component = c.application.desktop->loadComponentFromURL(
            fileUrl(file), "_blank", 0,
            properties({{"FilterName", Any(rtl::OUString("HTML (StarWriter)"))}, {"Hidden", Any(true)}}));
        const Reference<css::frame::XModel> model(component, UNO_QUERY);
        if (!model.is()) {
            if (component.is())
                Reference<css::util::XCloseable>(component, UNO_QUERY_THROW)->close(true);
            throw WordError{QStringLiteral("Die Textverarbeitung konnte „%1“ nicht öffnen.").arg(file)};
        }
        c.document.pointAt(model, true);
    } catch (...) {
        afterwards();
        throw;
    }
    afterwards();
}

namespace tarnvik::word {

bool isAvailable()
{
    return true;
}

void detail::releaseConnections()
{
    WordConnections &c = WordConnections::program();
    std::lock_guard lock(c.mutex);
    c.release();
}

} // namespace tarnvik::word
