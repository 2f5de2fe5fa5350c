#pragma once

#include "export/ExportText.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QUrl>

class BrowserHost;
struct WordBuildResult;
class TfrmExportProgress;
class QTimer;
class QWidget;

namespace tarnvik {

class PictureDownloader;

// One export of the thread shown: the title dialog, the page's text from
// the browser, the messages cut out with their pictures pointed at local
// copies, the pictures fetched in parallel, the work file, and the word
// processor's part. It runs on the event loop: the window stays responsive,
// a progress dialog shows where it takes longer than a moment and can
// cancel it up to the word processor's part.
class ThreadExport : public QObject
{
    Q_OBJECT
public:
    // The most pictures an export fetches.
    static constexpr int kMaxPictures = 2000;

    // The page shown and the program's folders, taken when the export starts.
    struct Setup {
        QString pageTitle;      // caption of the title strip
        bool wholeThread = false;
        QUrl pageAddress;
        QString documentFolder; // the export folder, ends in a separator; the document goes there
        QString picturesFolder; // ends in a separator
        QString workFolder;     // ends in a separator; "Temp.html" goes there
        // What earlier exports wrote; empty: "Exporte.json" in the per-user data folder.
        QString recordFile;
        // Pictures beyond this many are pointed at local names but not fetched.
        int maxPictures = kMaxPictures;
    };

    enum class Phase { Idle, ReadingPage, Downloading, Office, Done };

    ThreadExport(QWidget *owner, BrowserHost *browser, const Setup &setup);
    ~ThreadExport() override;

    // Asks for the title, and whether to replace a document of that title
    // that the user may have edited since the last export; false when the
    // user cancelled either (then nothing else happens and `finished`
    // follows).
    bool start();
    // Starts with a title and target chosen already.
    void startWith(const QString &title, int targetIndex);
    // Stops the export before the word processor's part.
    void cancel();

    Phase phase() const { return m_phase; }
    QString workFile() const;
    TfrmExportProgress *progressDialog() const;
    PictureDownloader *downloader() const { return m_downloader; }
    // Pictures that could not be fetched, once the downloads are over, and
    // the ones beyond the limit that were not tried.
    int missingPictures() const { return m_missing; }
    int picturesOverLimit() const { return m_overLimit; }

    // How long the export waits before it shows its progress.
    static constexpr int kProgressDelayMs = 400;
    // A page text longer than this is not exported.
    static constexpr qsizetype kMaxPageChars = 64 * 1024 * 1024;

Q_SIGNALS:
    // A line for the status bar.
    void statusMessage(const QString &text);
    // The extraction is done and the downloads start (or the work file is next).
    void downloadsStarted(int count);
    // The work file is written; the word processor's part comes next.
    void workFileWritten(const QString &file);
    // The export is over, whatever its outcome; the object may then go.
    void finished();

private:
    void onPageText(const QString &body);
    void onDownloadsFinished();
    void writeWorkFileAndBuild();
    bool mayReplace(const QString &title);
    void onDocumentBuilt(const WordBuildResult &result);
    void onExported(const QString &documentFile);
    void reportOfficeMissing(const QString &reason);
    void showMessage(const QString &text, QMessageBox::Icon icon);
    void showProgress();
    void updateProgressText();
    void updateCursor();
    void end(const QString &status);
    QString picturesNote() const;

    QPointer<QWidget> m_owner;
    QPointer<BrowserHost> m_browser;
    Setup m_setup;
    QString m_title;
    int m_targetIndex = 0;
    Phase m_phase = Phase::Idle;
    Extraction m_extraction;
    PictureState m_pictures;
    PictureDownloader *m_downloader = nullptr;
    QPointer<TfrmExportProgress> m_progress;
    QTimer *m_progressTimer = nullptr;
    bool m_cursorSet = false;
    int m_missing = 0;
    int m_overLimit = 0;
    QString m_officeStage; // what the office phase does now
};

} // namespace tarnvik
