#include "export/WordLink.h"

#include "export/OfficeProcess.h"

#include <QUrl>

#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XTitle.hpp>
#include <com/sun/star/text/XTextDocument.hpp>

namespace tarnvik::word {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

void TWordApplication::connect(StartedOffice &started, const WordBuildStage &stage)
{
    release();
    const OfficeOptions options = officeOptions();
    Reference<css::uno::XComponentContext> office = resolveOffice(options.pipeName);
    if (!office.is()) {
        // Whatever the program started there has ended, perhaps killed.
        clearLeftovers(started);
        started = {};
        if (connectKind == ConnectKind::RunningInstance)
            throw WordError{QStringLiteral("Die Textverarbeitung (LibreOffice Writer) läuft nicht.")};
        if (stage)
            stage(QStringLiteral("Textverarbeitung wird gestartet…"));
        office = startOffice(options, started);
    }
    // The office on the pipe may be another session's, which took over the
    // pipe from the office started here: its documents are not this session's.
    // The office the program started, while it runs, holds the pipe itself;
    // only another one is looked up among the system's processes.
    if (!stillRuns(started) && !officeInThisSession(options.pipeName))
        throw WordError{QStringLiteral("Die Textverarbeitung (LibreOffice Writer) läuft in einer anderen Sitzung: "
                                       "bitte sie dort beenden, dann noch einmal exportieren.")};
    context = office;
    desktop = desktopOf(office);
}

void TWordApplication::release()
{
    desktop.clear();
    context.clear();
}

void TWordDocument::pointAt(const Reference<css::frame::XModel> &document, bool ownedByProgram)
{
    release();
    model = document;
    owned = ownedByProgram;
}

void TWordDocument::release()
{
    model.clear();
    owned = false;
}

WordConnections &WordConnections::program()
{
    static WordConnections *const connections = new WordConnections;
    return *connections;
}

void WordConnections::release()
{
    document.release();
    application.release();
}

bool WordConnections::startedByProgram() const
{
    return stillRuns(started);
}

void WordConnections::reportStage(const QString &text) const
{
    if (stage)
        stage(text);
}

void WordConnections::rememberListing(const QStringList &names)
{
    std::lock_guard lock(m_listingMutex);
    m_listing = names;
}

QString WordConnections::listedName(int index) const
{
    std::lock_guard lock(m_listingMutex);
    return index >= 1 && index <= m_listing.size() ? m_listing[index - 1] : QString();
}

std::vector<Reference<css::frame::XModel>> openDocuments(const Reference<css::frame::XDesktop2> &desktop)
{
    std::vector<Reference<css::frame::XModel>> documents;
    const Reference<css::container::XIndexAccess> frames(desktop->getFrames(), UNO_QUERY_THROW);
    const sal_Int32 count = frames->getCount();
    for (sal_Int32 i = 0; i < count; ++i) {
        const Reference<css::frame::XFrame> frame(frames->getByIndex(i), UNO_QUERY);
        const Reference<css::frame::XController> controller = frame.is() ? frame->getController() : nullptr;
        const Reference<css::frame::XModel> model = controller.is() ? controller->getModel() : nullptr;
        if (model.is())
            documents.push_back(model);
    }
    return documents;
}

std::vector<Reference<css::frame::XModel>> openTextDocuments(const Reference<css::frame::XDesktop2> &desktop)
{
    std::vector<Reference<css::frame::XModel>> documents = openDocuments(desktop);
    std::erase_if(documents, [](const Reference<css::frame::XModel> &model) {
        return !Reference<css::text::XTextDocument>(model, UNO_QUERY).is();
    });
    return documents;
}

QString documentName(const Reference<css::frame::XModel> &model)
{
    const QUrl url(toQString(model->getURL()));
    if (!url.isEmpty() && !url.fileName().isEmpty())
        return url.fileName();
    const Reference<css::frame::XTitle> title(model, UNO_QUERY);
    return title.is() ? toQString(title->getTitle()) : QString();
}

void showDocument(const Reference<css::frame::XModel> &model)
{
    const Reference<css::frame::XController> controller = model->getCurrentController();
    const Reference<css::frame::XFrame> frame = controller.is() ? controller->getFrame() : nullptr;
    if (!frame.is())
        return;
    if (const Reference<css::awt::XWindow> window = frame->getContainerWindow(); window.is()) {
        window->setVisible(true);
        if (const Reference<css::awt::XTopWindow> top(window, UNO_QUERY); top.is())
            top->toFront();
    }
    frame->activate();
}

} // namespace tarnvik::word
