#include "export/OfficeProcess.h"
#include "export/OfficeUno.h"
#include "export/WordConnection.h"
#include "export/WordOffice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QUrl>

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/XDocumentInsertable.hpp>
#include <com/sun/star/document/XUndoManager.hpp>
#include <com/sun/star/document/XUndoManagerSupplier.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/frame/XTitle.hpp>
#include <com/sun/star/graphic/GraphicProvider.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/style/XStyle.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XParagraphCursor.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextGraphicObjectsSupplier.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/view/XViewSettingsSupplier.hpp>

#include <mutex>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

// The word-processor binding on LibreOffice Writer through UNO.

namespace {

using namespace tarnvik::office;
using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;
using tarnvik::word::OfficeOptions;

constexpr sal_Int32 kMargin = 2000; // 2.0 cm in 1/100 mm

// A failure of the office phase with the German text for the status note.
struct WordError {
    QString message;
    bool officeMissing = false; // the office program cannot be started at all
};

QString noOfficeRunning()
{
    return QStringLiteral("Die Textverarbeitung (LibreOffice Writer) läuft nicht.");
}

// The office the program started itself, as long as it runs: only that one
// may be quit after a failure.
struct StartedOffice {
    qint64 pid = 0;
    QString pipe;
};

bool processRuns(qint64 pid)
{
#ifdef Q_OS_UNIX
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
#else
    return pid > 0;
#endif
}

// The application link.
class TWordApplication
{
public:
    enum class ConnectKind { RunningInstance, RunningOrNew };

    ConnectKind connectKind = ConnectKind::RunningInstance;

    // Links to the office on the program's pipe; with RunningOrNew starts
    // one when none answers and waits for it. Throws WordError.
    void Connect(StartedOffice &started, const WordBuildStage &stage);
    void Disconnect()
    {
        desktop.clear();
        context.clear();
    }
    bool connected() const { return desktop.is(); }

    Reference<css::uno::XComponentContext> context;
    Reference<css::frame::XDesktop2> desktop;

private:
    static Reference<css::uno::XComponentContext> start(const OfficeOptions &options, StartedOffice &started);
};

// The document link.
class TWordDocument
{
public:
    // Links to `document`; `ownedByProgram` marks a document the program
    // opened itself, the only kind the cleanup closes.
    void ConnectTo(const Reference<css::frame::XModel> &document, bool ownedByProgram)
    {
        Disconnect();
        model = document;
        owned = ownedByProgram;
    }
    void Disconnect()
    {
        model.clear();
        owned = false;
    }

    Reference<css::frame::XModel> model;
    bool owned = false;
};

struct Connections {
    TWordApplication application;
    TWordDocument document;
    StartedOffice started;
};

// Guards the shared connections: one office phase at a time.
std::mutex connectionMutex;
Connections *shared = nullptr; // made by CreateWordConnections; dropped, never freed, at the end

// What the last listing showed the user, to insert into the document the
// user chose even when the office's documents changed since.
std::mutex listingMutex;
QStringList lastListing;

void disconnect(Connections &c)
{
    c.document.Disconnect();
    c.application.Disconnect();
}

// The environment of a started office: a UTF-8 character type, without
// which it cannot open files whose paths hold umlauts.
QProcessEnvironment officeEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Our own bootstrap setting is not the office's business.
    if (env.value(QStringLiteral("URE_BOOTSTRAP")).endsWith(QLatin1String("/fundamentalrc")))
        env.remove(QStringLiteral("URE_BOOTSTRAP"));
    const auto isUtf8 = [](const QString &locale) {
        const QString l = locale.toLower();
        return l.contains(QLatin1String("utf-8")) || l.contains(QLatin1String("utf8"));
    };
    const QString all = env.value(QStringLiteral("LC_ALL"));
    const QString ctype = env.value(QStringLiteral("LC_CTYPE"));
    const QString lang = env.value(QStringLiteral("LANG"));
    const QString effective = !all.isEmpty() ? all : !ctype.isEmpty() ? ctype : lang;
    if (!isUtf8(effective)) {
        if (!all.isEmpty()) {
            // Keep the user's choice for everything but the character type.
            env.remove(QStringLiteral("LC_ALL"));
            env.insert(QStringLiteral("LANG"), all);
        }
        env.insert(QStringLiteral("LC_CTYPE"), QStringLiteral("C.UTF-8"));
    }
    return env;
}

Reference<css::uno::XComponentContext> TWordApplication::start(const OfficeOptions &options, StartedOffice &started)
{
    QStringList arguments;
    if (options.headless)
        arguments << QStringLiteral("--headless") << QStringLiteral("--invisible");
    arguments << QStringLiteral("--nologo") << QStringLiteral("--norestore") << QStringLiteral("--nodefault")
              << QStringLiteral("--nolockcheck");
    if (!options.profileFolder.isEmpty())
        arguments << QStringLiteral("-env:UserInstallation=")
                         + QUrl::fromLocalFile(QDir(options.profileFolder).absolutePath()).toString(QUrl::FullyEncoded);
    arguments << QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(options.pipeName);

    QProcess process;
    process.setProgram(options.program.isEmpty() ? QStringLiteral(TARNVIK_OFFICE_PROGRAM_DIR "/soffice")
                                                 : options.program);
    process.setArguments(arguments);
    process.setProcessEnvironment(officeEnvironment());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        throw WordError{tarnvik::word::unavailableMessage(), true};

    // A second office on a profile already in use hands its --accept to the
    // running one and ends: then the office is not the program's own.
    QElapsedTimer clock;
    clock.start();
    qint64 endedAt = -1;
    for (;;) {
        if (Reference<css::uno::XComponentContext> context = resolveOffice(options.pipeName); context.is()) {
            started = processRuns(pid) ? StartedOffice{pid, options.pipeName} : StartedOffice{};
            return context;
        }
        if (endedAt < 0 && !processRuns(pid))
            endedAt = clock.elapsed();
        if (endedAt >= 0 && clock.elapsed() - endedAt > 3000)
            throw WordError{QStringLiteral("Die Textverarbeitung (LibreOffice Writer) hat sich gleich nach dem "
                                           "Start wieder beendet.")};
        if (clock.elapsed() > options.startTimeoutMs)
            throw WordError{QStringLiteral("Die Textverarbeitung (LibreOffice Writer) hat nach dem Start nicht "
                                           "rechtzeitig geantwortet.")};
        QThread::msleep(100);
    }
}

void TWordApplication::Connect(StartedOffice &started, const WordBuildStage &stage)
{
    Disconnect();
    const OfficeOptions options = tarnvik::word::officeOptions();
    Reference<css::uno::XComponentContext> office = resolveOffice(options.pipeName);
    if (!office.is()) {
        started = {}; // whatever the program started there has ended
        if (connectKind == ConnectKind::RunningInstance)
            throw WordError{noOfficeRunning()};
        if (stage)
            stage(QStringLiteral("Textverarbeitung wird gestartet…"));
        office = start(options, started);
    }
    context = office;
    desktop = desktopOf(office);
}

bool startedByProgram(const Connections &c)
{
    return c.started.pid != 0 && c.started.pipe == tarnvik::word::officeOptions().pipeName
           && processRuns(c.started.pid);
}

// The office's documents in their opening order.
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

// The text documents among them: what the title dialog offers as targets.
std::vector<Reference<css::frame::XModel>> openTextDocuments(const Reference<css::frame::XDesktop2> &desktop)
{
    std::vector<Reference<css::frame::XModel>> documents = openDocuments(desktop);
    std::erase_if(documents, [](const Reference<css::frame::XModel> &model) {
        return !Reference<css::text::XTextDocument>(model, UNO_QUERY).is();
    });
    return documents;
}

// A document's name as the office shows it: its file name, or the title of
// a document that was never saved.
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

// Closes the document the program opened, quits an office the program
// started that holds no other document, and releases the links. Never
// throws: the office may be gone already.
void cleanUp(Connections &c)
{
    try {
        if (c.document.model.is() && c.document.owned)
            Reference<css::util::XCloseable>(c.document.model, UNO_QUERY_THROW)->close(true);
    } catch (...) {
    }
    c.document.Disconnect();
    StartedOffice quitting;
    try {
        if (c.application.connected() && startedByProgram(c) && openDocuments(c.application.desktop).empty()) {
            quitting = c.started;
            c.started = {};
            c.application.desktop->terminate();
        }
    } catch (...) {
        // The bridge may die before the office answers.
    }
    disconnect(c);
    // An office that hangs on its way out would keep the pipe's name and
    // its profile from the next export; it holds no document.
    if (quitting.pid != 0)
        tarnvik::word::endOfficeProcesses(quitting.pipe, quitting.pid, 5000);
}

void setPageMargins(const Reference<css::frame::XModel> &model)
{
    const Reference<css::style::XStyleFamiliesSupplier> families(model, UNO_QUERY_THROW);
    const Reference<css::container::XNameAccess> pageStyles(
        families->getStyleFamilies()->getByName("PageStyles"), UNO_QUERY_THROW);
    const css::uno::Sequence<OUString> names = pageStyles->getElementNames();
    for (const OUString &name : names) {
        const Reference<css::style::XStyle> style(pageStyles->getByName(name), UNO_QUERY_THROW);
        if (!style->isInUse())
            continue;
        // In this order, in one call: the page is laid out anew only once.
        css::uno::Sequence<OUString> names(4);
        css::uno::Sequence<Any> values(4);
        int i = 0;
        for (const char *margin : {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"}) {
            names.getArray()[i] = OUString::createFromAscii(margin);
            values.getArray()[i++] <<= kMargin;
        }
        Reference<css::beans::XMultiPropertySet>(style, UNO_QUERY_THROW)->setPropertyValues(names, values);
    }
}

// Paragraphs 1 and 2 keep their indents; from the third on both are 0. One
// selection from the third paragraph to the end takes both values at once.
void clearIndentsFromThirdParagraph(const Reference<css::frame::XModel> &model)
{
    const Reference<css::text::XText> text = Reference<css::text::XTextDocument>(model, UNO_QUERY_THROW)->getText();
    const Reference<css::text::XParagraphCursor> cursor(text->createTextCursor(), UNO_QUERY_THROW);
    cursor->gotoStart(false);
    if (!cursor->gotoNextParagraph(false) || !cursor->gotoNextParagraph(false))
        return; // fewer than three paragraphs
    cursor->gotoEnd(true);
    css::uno::Sequence<OUString> names(2);
    names.getArray()[0] = "ParaLeftMargin";
    names.getArray()[1] = "ParaRightMargin";
    css::uno::Sequence<Any> zeros(2);
    zeros.getArray()[0] <<= sal_Int32(0);
    zeros.getArray()[1] <<= sal_Int32(0);
    Reference<css::beans::XMultiPropertySet>(cursor, UNO_QUERY_THROW)->setPropertyValues(names, zeros);
}

// Stores every picture in the document instead of linking its file, then
// narrows the ones wider than the limit, keeping their aspect ratio.
void embedAndNarrowPictures(const Reference<css::frame::XModel> &model,
                            const Reference<css::uno::XComponentContext> &office)
{
    const Reference<css::graphic::XGraphicProvider> provider = css::graphic::GraphicProvider::create(office);
    const Reference<css::text::XTextGraphicObjectsSupplier> supplier(model, UNO_QUERY_THROW);
    const Reference<css::container::XIndexAccess> pictures(supplier->getGraphicObjects(), UNO_QUERY_THROW);
    const sal_Int32 count = pictures->getCount();
    for (sal_Int32 j = 0; j < count; ++j) {
        const Reference<css::beans::XPropertySet> picture(pictures->getByIndex(j), UNO_QUERY_THROW);
        // Setting the same graphic back would keep the link; loading it
        // anew from its origin embeds it. A missing file stays a link.
        Reference<css::graphic::XGraphic> graphic;
        picture->getPropertyValue("Graphic") >>= graphic;
        OUString origin;
        if (const Reference<css::beans::XPropertySet> descriptor(graphic, UNO_QUERY); descriptor.is())
            descriptor->getPropertyValue("OriginURL") >>= origin;
        if (!origin.isEmpty()) {
            const Reference<css::graphic::XGraphic> own = provider->queryGraphic(
                properties({{"URL", Any(origin)}, {"LazyRead", Any(true)}}));
            if (own.is())
                picture->setPropertyValue("Graphic", Any(own));
        }

        css::awt::Size size;
        picture->getPropertyValue("Size") >>= size;
        const QSize narrowed = tarnvik::word::narrowedPictureSize(QSize(size.Width, size.Height));
        if (narrowed.width() != size.Width)
            picture->setPropertyValue("Size", Any(css::awt::Size(narrowed.width(), narrowed.height())));
    }
}

// The office refuses to save over a file it has open itself, as after a
// second export of the same thread. An unchanged earlier copy is closed (the
// new one takes its place); one with changes stays, and the phase fails.
void closeEarlierCopy(Connections &c, const QString &documentFile, int targetIndex)
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

// Opens `file` in the office (started if need be) as a hidden text document
// and links the document connection to it.
void OpenInWord(Connections &c, const QString &file, const WordBuildStage &stage)
{
    c.application.connectKind = TWordApplication::ConnectKind::RunningOrNew;
    c.application.Connect(c.started, stage);
    if (stage)
        stage(QStringLiteral("Dokument wird geöffnet…"));
    const Reference<css::lang::XComponent> component = c.application.desktop->loadComponentFromURL(
        fileUrl(file), "_blank", 0,
        properties({{"FilterName", Any(OUString("HTML (StarWriter)"))}, {"Hidden", Any(true)}}));
    const Reference<css::frame::XModel> model(component, UNO_QUERY);
    if (!model.is()) {
        if (component.is())
            Reference<css::util::XCloseable>(component, UNO_QUERY_THROW)->close(true);
        throw WordError{QStringLiteral("Die Textverarbeitung konnte „%1“ nicht öffnen.").arg(file)};
    }
    c.document.ConnectTo(model, true);
}

// Steps after the document is saved as "Temp.doc": closes it and inserts it
// at the end of open text document `targetIndex`, which is then saved.
void insertIntoOpenDocument(Connections &c, const QString &docFile, int targetIndex,
                            const WordBuildStage &stage)
{
    if (stage)
        stage(QStringLiteral("Dokument wird eingefügt…"));
    Reference<css::util::XCloseable>(c.document.model, UNO_QUERY_THROW)->close(true);
    c.document.Disconnect();

    const std::vector<Reference<css::frame::XModel>> documents = openTextDocuments(c.application.desktop);
    if (targetIndex > int(documents.size()))
        throw WordError{QStringLiteral("Das gewählte Dokument ist in der Textverarbeitung nicht mehr geöffnet.")};
    const Reference<css::frame::XModel> target = documents[size_t(targetIndex - 1)];
    {
        std::lock_guard lock(listingMutex);
        if (targetIndex <= lastListing.size() && documentName(target) != lastListing[targetIndex - 1])
            throw WordError{QStringLiteral("„%1“ ist in der Textverarbeitung nicht mehr das gewählte Dokument: "
                                           "bitte noch einmal exportieren.")
                                .arg(lastListing[targetIndex - 1])};
    }
    c.document.ConnectTo(target, false);

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

} // namespace

void CreateWordConnections()
{
    std::lock_guard lock(connectionMutex);
    if (!shared)
        shared = new Connections;
}

void DisconnectWord()
{
    // While an office phase runs it holds the links and releases them itself.
    std::unique_lock lock(connectionMutex, std::try_to_lock);
    if (lock.owns_lock() && shared)
        disconnect(*shared);
}

QStringList ListOpenDocuments()
{
    // While an office phase holds the shared links, a listing uses links of
    // its own.
    std::unique_lock lock(connectionMutex, std::try_to_lock);
    Connections own;
    Connections &c = lock.owns_lock() && shared ? *shared : own;
    QStringList names;
    try {
        c.application.connectKind = TWordApplication::ConnectKind::RunningInstance;
        c.application.Connect(c.started, {});
        for (const Reference<css::frame::XModel> &model : openTextDocuments(c.application.desktop)) {
            c.document.ConnectTo(model, false);
            names << documentName(model);
        }
    } catch (...) {
        // No office on the pipe, or it ended meanwhile: no documents.
        names.clear();
    }
    disconnect(c);
    std::lock_guard listing(listingMutex);
    lastListing = names;
    return names;
}

namespace tarnvik::word {

bool isAvailable()
{
    return true;
}

WordBuildResult buildDocumentNow(const QString &folder, const QString &htmlFile, const QString &title,
                                 int targetIndex, bool picturesFound, const WordBuildStage &stage)
{
    WordBuildResult result;
    if (!QDir::isAbsolutePath(folder)) {
        result.error = QStringLiteral("Es ist kein Exportordner eingestellt.");
        return result;
    }
    result.documentFile = documentFilePath(folder, title, targetIndex);
    if (result.documentFile.isEmpty()) {
        result.error = QStringLiteral("„%1“ taugt nicht als Dateiname für das Dokument.").arg(title);
        return result;
    }
    if (!QFileInfo(htmlFile).isFile()) {
        result.error = QStringLiteral("Die Datei „%1“ fehlt.").arg(htmlFile);
        return result;
    }

    std::lock_guard lock(connectionMutex);
    if (!shared)
        shared = new Connections;
    Connections &c = *shared;
    try {
        OpenInWord(c, htmlFile, stage);
        const Reference<css::frame::XModel> model = c.document.model;

        if (stage)
            stage(QStringLiteral("Dokument wird formatiert…"));
        // Print layout: the page as it will be printed.
        const Reference<css::view::XViewSettingsSupplier> view(model->getCurrentController(), UNO_QUERY_THROW);
        view->getViewSettings()->setPropertyValue("ShowOnlineLayout", Any(false));
        // No view updates and no undo steps while the document changes.
        model->lockControllers();
        const Reference<css::document::XUndoManager> undo =
            Reference<css::document::XUndoManagerSupplier>(model, UNO_QUERY_THROW)->getUndoManager();
        undo->lock();
        setPageMargins(model);
        clearIndentsFromThirdParagraph(model);
        if (picturesFound) {
            if (stage)
                stage(QStringLiteral("Bilder werden eingebettet…"));
            embedAndNarrowPictures(model, c.application.context);
        }
        undo->unlock();
        model->unlockControllers();

        if (stage)
            stage(QStringLiteral("Dokument wird gespeichert…"));
        QDir().mkpath(QFileInfo(result.documentFile).absolutePath());
        closeEarlierCopy(c, result.documentFile, targetIndex);
        Reference<css::frame::XStorable>(model, UNO_QUERY_THROW)
            ->storeAsURL(fileUrl(result.documentFile),
                         properties({{"FilterName", Any(OUString("MS Word 97"))}, {"Overwrite", Any(true)}}));

        if (targetIndex > 0)
            insertIntoOpenDocument(c, result.documentFile, targetIndex, stage);
        showDocument(c.document.model);
        result.ok = true;
    } catch (const WordError &e) {
        result.error = e.message;
        result.officeMissing = e.officeMissing;
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
    disconnect(c);
    return result;
}

void detail::releaseConnections()
{
    std::lock_guard lock(connectionMutex);
    if (shared)
        disconnect(*shared);
}

} // namespace tarnvik::word
