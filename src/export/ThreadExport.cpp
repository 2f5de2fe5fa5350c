#include "export/ThreadExport.h"

#include "archive/ArchiveHooks.h"
#include "browser/BrowserHost.h"
#include "export/ExportProgress.h"
#include "export/ExportRecord.h"
#include "export/FileNames.h"
#include "export/PictureDownloader.h"
#include "export/Title.h"
#include "export/WordConnection.h"
#include "state/ErrorReport.h"
#include "state/FileAccess.h"
#include "state/WorkFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace tarnvik {

namespace {

const QString kWorkFileName = QStringLiteral("Temp.html");

QString picturesMissing(int count)
{
    return count == 1 ? QStringLiteral("1 Bild fehlt") : QStringLiteral("%1 Bilder fehlen").arg(count);
}

QString overLimitNote(int count, int limit)
{
    return (count == 1 ? QStringLiteral("1 Bild über der Grenze von %2 nicht geladen")
                       : QStringLiteral("%1 Bilder über der Grenze von %2 nicht geladen").arg(count))
        .arg(limit);
}

bool insideFolder(const QString &file, const QString &folder)
{
    return QDir::cleanPath(QFileInfo(file).absolutePath()) == QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

} // namespace

ThreadExport::ThreadExport(QWidget *owner, BrowserHost *browser, const Setup &setup)
    : QObject(owner), m_owner(owner), m_browser(browser), m_setup(setup)
{
    if (m_setup.recordFile.isEmpty()) {
        // The folder is made on the way: asked once.
        if (const QString data = userDataFolder(); !data.isEmpty())
            m_setup.recordFile = data + QStringLiteral("Exporte.json");
    }
    m_downloader = new PictureDownloader(this);
    connect(m_downloader, &PictureDownloader::progress, this, &ThreadExport::updateProgressText);
    connect(m_downloader, &PictureDownloader::finished, this, &ThreadExport::onDownloadsFinished);
}

ThreadExport::~ThreadExport()
{
    m_downloader->cancel();
    delete m_progress.data();
    if (m_cursorSet)
        QApplication::restoreOverrideCursor();
}

QString ThreadExport::workFile() const
{
    return m_setup.workFolder + kWorkFileName;
}

TfrmExportProgress *ThreadExport::progressDialog() const
{
    return m_progress;
}

bool ThreadExport::start()
{
    QString title = m_setup.pageTitle;
    int target = 0;
    AskDocTitle(m_owner, title, target);
    if (title.isEmpty() || (target == 0 && !mayReplace(title))) {
        m_phase = Phase::Done;
        QTimer::singleShot(0, this, &ThreadExport::finished);
        return false;
    }
    startWith(title, target);
    return true;
}

// A document the user may have edited since the last export wrote it is
// replaced only when the user says so.
bool ThreadExport::mayReplace(const QString &title)
{
    const QString document = word::documentFilePath(m_setup.documentFolder, toValidFileName(title), 0);
    if (document.isEmpty() || !word::isAvailable())
        return true; // nothing is replaced, or the office phase refuses the name with a message
    const ExportRecord::State state = ExportRecord::load(m_setup.recordFile).state(document);
    if (state == ExportRecord::State::Absent || state == ExportRecord::State::AsWritten)
        return true;
    const QString name = QFileInfo(document).fileName();
    const QString text =
        state == ExportRecord::State::Changed
            ? QStringLiteral("„%1“ wurde seit dem letzten Export verändert. Soll es ersetzt werden?").arg(name)
            : QStringLiteral("„%1“ gibt es im Exportordner schon. Soll es ersetzt werden?").arg(name);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Tarnvik"), text, QMessageBox::NoButton, m_owner);
    QPushButton *replace = box.addButton(QStringLiteral("Ersetzen"), QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole));
    box.exec();
    return box.clickedButton() == replace;
}

void ThreadExport::startWith(const QString &title, int targetIndex)
{
    m_title = title;
    m_targetIndex = targetIndex;
    m_phase = Phase::ReadingPage;
    updateCursor();

    m_progressTimer = new QTimer(this);
    m_progressTimer->setSingleShot(true);
    connect(m_progressTimer, &QTimer::timeout, this, &ThreadExport::showProgress);
    m_progressTimer->start(kProgressDelayMs);

    if (!m_browser) {
        end(QStringLiteral("Export abgebrochen: Die Seite ist nicht mehr da."));
        return;
    }
    // A relative folder would put the pictures wherever the program was started.
    if (!QFileInfo(m_setup.picturesFolder).isAbsolute() || !QFileInfo(m_setup.documentFolder).isAbsolute()) {
        end(QStringLiteral("Export nicht möglich: Es ist kein Exportordner eingestellt."));
        return;
    }
    if (!QFileInfo(m_setup.workFolder).isAbsolute()) {
        end(QStringLiteral("Export nicht möglich: Es gibt keinen beschreibbaren Ordner für „%1“.").arg(kWorkFileName));
        return;
    }
    // A page that starts loading meanwhile is not the one the user exports.
    connect(m_browser, &BrowserHost::NavigateComplete2, this, [this] {
        if (m_phase == Phase::ReadingPage)
            end(QStringLiteral("Export abgebrochen: Eine andere Seite wurde geöffnet."));
    });
    QPointer<ThreadExport> self(this);
    m_browser->requestBodyOuterHtml([self](const QString &body) {
        if (self && self->m_phase == Phase::ReadingPage)
            self->onPageText(body);
    });
}

void ThreadExport::onPageText(const QString &body)
{
    if (body.size() > kMaxPageChars) {
        end(QStringLiteral("Diese Seite ist zu groß für den Export."));
        return;
    }
    m_pictures = PictureState();
    m_pictures.title = m_title;
    m_pictures.picturesFolder = m_setup.picturesFolder;
    m_pictures.pageAddress = m_setup.pageAddress;
    m_extraction = ExtractThread(SplitBodyLines(body), m_setup.pageTitle, m_setup.wholeThread, m_pictures);
    if (m_extraction.end != ExtractionEnd::Complete) {
        end(ExtractionFailureText(m_extraction.end, m_setup.wholeThread));
        return;
    }

    QList<PictureDownload> downloads = m_pictures.downloads;
    const int limit = qMax(0, m_setup.maxPictures);
    if (downloads.size() > limit) {
        // Left out, and said so; an older picture of one of their names must
        // not stand in for it.
        m_overLimit = int(downloads.size()) - limit;
        for (qsizetype i = limit; i < downloads.size(); ++i) {
            if (insideFolder(downloads[i].file, m_setup.picturesFolder))
                QFile::remove(downloads[i].file);
        }
        downloads.resize(limit);
    }
    for (PictureDownload &download : downloads) {
        // The names are made safe already; this only guards against a slip.
        if (!insideFolder(download.file, m_setup.picturesFolder))
            download.address.clear();
    }
    if (!downloads.isEmpty() && !QDir().mkpath(m_setup.picturesFolder)) {
        const QString error =
            QStringLiteral("Der Bilderordner „%1“ kann nicht angelegt werden").arg(QDir::toNativeSeparators(m_setup.picturesFolder));
        reportError(error);
        end(error + QLatin1Char('.'));
        return;
    }
    m_phase = Phase::Downloading;
    updateProgressText();
    updateCursor();
    Q_EMIT downloadsStarted(int(downloads.size()));
    m_downloader->start(downloads);
}

void ThreadExport::onDownloadsFinished()
{
    if (m_phase != Phase::Downloading)
        return;
    m_missing = m_downloader->failed();
    writeWorkFileAndBuild();
}

void ThreadExport::writeWorkFileAndBuild()
{
    const QString file = workFile();
    QString error;
    if (!files::writeAtomically(file, EncodeWorkFile(m_extraction.lines), error)) {
        reportError(error);
        end(QStringLiteral("Export abgebrochen: Die Exportdatei konnte nicht geschrieben werden."));
        return;
    }
    Q_EMIT workFileWritten(file);
    archive::keepExportedThread(m_setup.pageAddress, m_extraction.lines, m_pictures.downloads);

    m_phase = Phase::Office;
    if (m_progress)
        m_progress->setCancellable(false);
    updateProgressText();
    updateCursor();
    QPointer<ThreadExport> self(this);
    // The title names a file only as toValidFileName makes it; the office
    // phase refuses any other.
    BuildWordDocument(
        m_setup.documentFolder, file, toValidFileName(m_title), m_targetIndex, m_pictures.picturesFound,
        m_downloader->done() - m_downloader->failed(),
        [self](const WordBuildResult &result) {
            if (self)
                self->onDocumentBuilt(result);
        },
        [self](const QString &stage) {
            if (self && self->m_phase == Phase::Office) {
                self->m_officeStage = stage;
                self->updateProgressText();
            }
        });
}

void ThreadExport::onDocumentBuilt(const WordBuildResult &result)
{
    if (m_phase != Phase::Office)
        return;
    if (!result.ok && result.officeMissing) {
        reportOfficeMissing(result.error);
        return;
    }
    if (result.saveFailed) {
        // A document that was not saved must not go unnoticed.
        showMessage(result.error, QMessageBox::Warning);
        end(result.error + picturesNote());
        return;
    }
    if (result.ok)
        onExported(result.documentFile);
    QString text;
    if (!result.ok)
        text = QStringLiteral("Das Dokument konnte nicht erstellt werden: %1").arg(result.error);
    else if (m_targetIndex > 0)
        text = QStringLiteral("Der Thread wurde an das gewählte Dokument angehängt.");
    else
        text = QStringLiteral("Dokument gespeichert: %1").arg(QDir::toNativeSeparators(result.documentFile));
    end(text + picturesNote());
}

// The thread is in a document: for a new one, what it looks like now is
// what the next export compares with before it replaces it.
void ThreadExport::onExported(const QString &documentFile)
{
    if (m_targetIndex > 0)
        return;
    ExportRecord record = ExportRecord::load(m_setup.recordFile);
    record.noteWritten(documentFile);
    QString error;
    if (!m_setup.recordFile.isEmpty() && !record.save(error))
        qWarning("%s", qPrintable(error));
}

// Without a word processor the thread stays as the work file and pictures;
// a message and the status bar say where.
void ThreadExport::reportOfficeMissing(const QString &reason)
{
    QString text = reason + QLatin1Char(' ')
                   + QStringLiteral("Der Thread liegt in „%1“").arg(QDir::toNativeSeparators(workFile()));
    if (m_pictures.picturesFound)
        text += QStringLiteral(", die Bilder liegen in „%1“").arg(QDir::toNativeSeparators(m_setup.picturesFolder));
    text += QLatin1Char('.');
    showMessage(text, QMessageBox::Information);
    end(text + picturesNote());
}

// A message beside the window that does not hold up the program's loop.
void ThreadExport::showMessage(const QString &text, QMessageBox::Icon icon)
{
    if (!m_owner)
        return;
    auto *box = new QMessageBox(icon, QStringLiteral("Tarnvik"), text, QMessageBox::Ok, m_owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QString ThreadExport::picturesNote() const
{
    QStringList notes;
    if (m_missing > 0)
        notes << picturesMissing(m_missing);
    if (m_overLimit > 0)
        notes << overLimitNote(m_overLimit, qMax(0, m_setup.maxPictures));
    return notes.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(notes.join(QStringLiteral("; ")));
}

void ThreadExport::cancel()
{
    if (m_phase != Phase::ReadingPage && m_phase != Phase::Downloading)
        return;
    // Pictures that are not complete leave nothing behind, and the ones this
    // export fetched go as well; the work file is written only after the
    // last picture.
    m_downloader->cancel();
    for (const QString &file : m_downloader->fetchedFiles())
        QFile::remove(file);
    end(QStringLiteral("Export abgebrochen."));
}

void ThreadExport::showProgress()
{
    if (m_phase == Phase::Done || m_progress)
        return;
    m_progress = new TfrmExportProgress(m_owner);
    connect(m_progress, &TfrmExportProgress::cancelRequested, this, &ThreadExport::cancel);
    m_progress->setCancellable(m_phase != Phase::Office);
    updateProgressText();
    m_progress->show();
    updateCursor();
}

void ThreadExport::updateProgressText()
{
    if (!m_progress)
        return;
    switch (m_phase) {
    case Phase::ReadingPage:
        m_progress->setProgress(QStringLiteral("Seite wird gelesen…"));
        break;
    case Phase::Downloading:
        m_progress->setProgress(
            QStringLiteral("Bilder werden geladen: %1 von %2").arg(m_downloader->done()).arg(m_downloader->total()),
            m_downloader->done(), m_downloader->total());
        break;
    case Phase::Office:
        m_progress->setProgress(QStringLiteral("Dokument wird erstellt…"));
        m_progress->setDetail(m_officeStage);
        break;
    case Phase::Idle:
    case Phase::Done:
        break;
    }
}

// The hourglass marks the run; while the progress can be cancelled the
// pointer keeps its arrow beside it, so the button still looks usable.
void ThreadExport::updateCursor()
{
    const bool cancellable = m_progress && m_progress->isVisible() && m_progress->cancellable();
    const QCursor cursor(cancellable ? Qt::BusyCursor : Qt::WaitCursor);
    if (!m_cursorSet) {
        QApplication::setOverrideCursor(cursor);
        m_cursorSet = true;
    } else {
        QApplication::changeOverrideCursor(cursor);
    }
}

void ThreadExport::end(const QString &status)
{
    if (m_phase == Phase::Done)
        return;
    m_phase = Phase::Done;
    if (m_progressTimer)
        m_progressTimer->stop();
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
        m_progress.clear();
    }
    if (m_cursorSet) {
        QApplication::restoreOverrideCursor();
        m_cursorSet = false;
    }
    if (!status.isEmpty())
        Q_EMIT statusMessage(status);
    Q_EMIT finished();
}

} // namespace tarnvik
