#include "export/DocumentFormat.h"
#include "export/SavedDocument.h"
#include "export/WordLink.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <com/sun/star/document/XDocumentInsertable.hpp>
#include <com/sun/star/document/XUndoManager.hpp>
#include <com/sun/star/document/XUndoManagerSupplier.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>

// The office phase of the export: the working document opened, formatted,
// saved, inserted into an open document where the user chose one, and
// shown; on failure only what the program opened or started is closed.

namespace tarnvik::word {

namespace {

using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

// Closes the document the program opened, quits an office the program
// started that holds no other document, and releases the links. Never
// throws: the office may be gone already.
void cleanUp(WordConnections &c)
{
    try {
        if (c.document.model.is() && c.document.owned)
            Reference<css::util::XCloseable>(c.document.model, UNO_QUERY_THROW)->close(true);
    } catch (...) {
    }
    c.document.release();
    bool quit = false;
    try {
        quit = c.application.connected() && c.startedByProgram() && openDocuments(c.application.desktop).empty();
    } catch (...) {
    }
    const Reference<css::frame::XDesktop2> desktop = c.application.desktop;
    const StartedOffice quitting = quit ? std::exchange(c.started, {}) : StartedOffice{};
    c.release();
    if (quit)
        quitOffice(desktop, quitting);
}

// The office refuses to save over a file it has open itself, as after a
// second export of the same thread. An unchanged earlier copy is closed (the
// new one takes its place); one with changes stays, and the phase fails.
void closeEarlierCopy(WordConnections &c, const QString &documentFile, int targetIndex)
{
    const QString path = QFileInfo(documentFile).absoluteFilePath();
    for (const Reference<css::frame::XModel> &model : openDocuments(c.application.desktop)) {
        if (model == c.document.model)
            continue;
        const QUrl url(toQString(model->getURL()));
        if (!url.isLocalFile() || QFileInfo(url.toLocalFile()).absoluteFilePath() != path)
            continue;
        const Reference<css::util::XModifiable> modifiable(model, UNO_QUERY);
        if (targetIndex > 0 || (modifiable.is() && modifiable->isModified()))
            throw WordError{QStringLiteral("„%1“ ist in der Textverarbeitung geöffnet: bitte dort speichern und "
                                           "schließen, dann noch einmal exportieren.")
                                .arg(QFileInfo(path).fileName())};
        Reference<css::util::XCloseable>(model, UNO_QUERY_THROW)->close(true);
    }
}

QString officeFailure(const css::uno::Exception &e)
{
    const QString detail = toQString(e.Message).trimmed();
    return detail.isEmpty() ? QStringLiteral("Die Textverarbeitung meldet einen Fehler.")
                            : QStringLiteral("Die Textverarbeitung meldet einen Fehler: %1").arg(detail);
}

// Formats the working document: print layout, margins, indents and, when
// the page had pictures, the pictures embedded and narrowed. No view
// updates and no undo steps meanwhile.
// Returns what embedAndNarrowPictures returns, or 0.
qint64 format(WordConnections &c, bool picturesFound)
{
    qint64 pictureBytes = 0;
    const Reference<css::frame::XModel> model = c.document.model;
    c.reportStage(QStringLiteral("Dokument wird formatiert…"));
    setPrintLayout(model);
    model->lockControllers();
    const Reference<css::document::XUndoManager> undo =
        Reference<css::document::XUndoManagerSupplier>(model, UNO_QUERY_THROW)->getUndoManager();
    undo->lock();
    setPageMargins(model);
    clearIndentsFromThirdParagraph(model);
    if (picturesFound) {
        c.reportStage(QStringLiteral("Bilder werden eingebettet…"));
        pictureBytes = embedAndNarrowPictures(model, c.application.context);
    }
    undo->unlock();
    model->unlockControllers();
    return pictureBytes;
}

// Steps after the document is saved as "Temp.doc": closes it and inserts it
// at the end of open text document `targetIndex`, which is then saved.
void insertIntoOpenDocument(WordConnections &c, const QString &docFile, int targetIndex)
{
    c.reportStage(QStringLiteral("Dokument wird eingefügt…"));
    Reference<css::util::XCloseable>(c.document.model, UNO_QUERY_THROW)->close(true);
    c.document.release();

    const std::vector<Reference<css::frame::XModel>> documents = openTextDocuments(c.application.desktop);
    if (targetIndex > int(documents.size()))
        throw WordError{QStringLiteral("Das gewählte Dokument ist in der Textverarbeitung nicht mehr geöffnet.")};
    const Reference<css::frame::XModel> target = documents[size_t(targetIndex - 1)];
    if (const QString listed = c.listedName(targetIndex); !listed.isEmpty() && documentName(target) != listed)
        throw WordError{QStringLiteral("„%1“ ist in der Textverarbeitung nicht mehr das gewählte Dokument: "
                                       "bitte noch einmal exportieren.")
                            .arg(listed)};
    c.document.pointAt(target, false);

    // The inserted document starts a paragraph of its own after the last one.
    const Reference<css::text::XText> text = Reference<css::text::XTextDocument>(target, UNO_QUERY_THROW)->getText();
    const Reference<css::text::XTextCursor> cursor = text->createTextCursor();
    cursor->gotoEnd(false);
    Reference<css::document::XDocumentInsertable>(cursor, UNO_QUERY_THROW)
        ->insertDocumentFromURL(fileUrl(docFile), css::uno::Sequence<css::beans::PropertyValue>());

    const Reference<css::frame::XStorable> storable(target, UNO_QUERY_THROW);
    if (!storable->hasLocation() || storable->isReadonly()) {
        showDocument(target);
        throw WordError{QStringLiteral("Der Thread steht jetzt in „%1“, das Dokument ist aber noch nicht "
                                       "gespeichert: bitte in der Textverarbeitung speichern.")
                            .arg(documentName(target))};
    }
    storable->store();
}

// The checks before the office is touched; an error text, or empty.
QString refusal(const QString &folder, const QString &htmlFile, const QString &title, const QString &documentFile)
{
    if (!QDir::isAbsolutePath(folder))
        return QStringLiteral("Es ist kein Exportordner eingestellt.");
    if (documentFile.isEmpty())
        return QStringLiteral("„%1“ taugt nicht als Dateiname für das Dokument.").arg(title);
    if (!QFileInfo(htmlFile).isFile())
        return QStringLiteral("Die Datei „%1“ fehlt.").arg(htmlFile);
    return {};
}

} // namespace

WordBuildResult buildDocumentNow(const QString &folder, const QString &htmlFile, const QString &title,
                                 int targetIndex, bool picturesFound, int picturesFetched,
                                 const WordBuildStage &stage)
{
    WordBuildResult result;
    result.documentFile = documentFilePath(folder, title, targetIndex);
    result.error = refusal(folder, htmlFile, title, result.documentFile);
    if (!result.error.isEmpty())
        return result;

    WordConnections &c = WordConnections::program();
    std::lock_guard lock(c.mutex);
    c.stage = stage;
    try {
        OpenInWord(htmlFile, false, false);
        const qint64 pictureBytes = format(c, picturesFound);

        c.reportStage(QStringLiteral("Dokument wird gespeichert…"));
        QDir().mkpath(QFileInfo(result.documentFile).absolutePath());
        closeEarlierCopy(c, result.documentFile, targetIndex);
        saveChecked(c.document.model, result.documentFile, {picturesFetched, pictureBytes});
        if (targetIndex > 0)
            insertIntoOpenDocument(c, result.documentFile, targetIndex);
        else if (c.startedByProgram())
            noteOpenDocument(c.started, result.documentFile);
        showDocument(c.document.model);
        result.ok = true;
    } catch (const WordError &e) {
        result.error = e.message;
        result.officeMissing = e.officeMissing;
        result.saveFailed = e.saveFailed;
        cleanUp(c);
    } catch (const css::lang::DisposedException &) {
        result.error = QStringLiteral("Die Verbindung zur Textverarbeitung ist abgebrochen.");
        cleanUp(c);
    } catch (const css::uno::Exception &e) {
        result.error = officeFailure(e);
        cleanUp(c);
    } catch (const std::exception &e) {
        result.error = QStringLiteral("Die Textverarbeitung meldet einen Fehler: %1").arg(QString::fromLocal8Bit(e.what()));
        cleanUp(c);
    }
    c.release();
    c.stage = {};
    return result;
}

} // namespace tarnvik::word
