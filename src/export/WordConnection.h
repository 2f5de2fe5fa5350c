#pragma once

#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

// The word-processor half of the thread export: the connections to the
// office, the list of its open documents for the title dialog, and the
// building of the export's document from its HTML work file.
//
// The office is LibreOffice Writer, reached through UNO on a pipe of the
// program's own (see OfficeOptions). The program talks only to the office it
// reaches there: one it started itself, or one a user started with the same
// --accept argument.

// The connections live from the main window's first showing to the end of
// the program; releasing them never closes the word processor. Release waits
// for an office phase that is still running.
void CreateWordConnections();
void ReleaseWordConnections();
// Releases the document link, then the application link.
void DisconnectWord();

// Names of the documents open in the office the program reaches, in their
// opening order; empty when none runs (never starts one). Quick: one attempt
// to connect, a few milliseconds when no office listens.
QStringList ListOpenDocuments();

namespace tarnvik::word {
// Whether this build carries the word-processor binding at all.
bool isAvailable();
// The German message for a build without it.
QString unavailableMessage();

// How the program reaches and starts its office. The defaults suit the
// program on a desktop; tests and benchmarks set a headless office with a
// profile of its own before the first office call.
struct OfficeOptions {
    // Pipe the office accepts connections on: the user's and the desktop
    // session's own (see sessionPipeName).
    QString pipeName;
    // Empty: the user's own LibreOffice profile. Otherwise a folder for a
    // profile of its own (made by the office on its first start).
    QString profileFolder;
    // Start the office without windows. Default: only when there is no
    // display to show it on.
    bool headless = false;
    // The office program; empty: soffice in the office's program folder.
    QString program;
    // How long "running or new" waits for a started office to answer.
    int startTimeoutMs = 30000;

    static OfficeOptions defaults();
};
// The pipe of `user` in the desktop session that `environment` describes:
// "tarnvik_", the user, and a short hash of the session (its login session,
// displays and session bus), so that another session of the same user, or
// one that has ended, never lends its office and documents to this one.
// Without any session, "tarnvik_" and the user.
QString sessionPipeName(const QString &user, const QProcessEnvironment &environment);

// Thread-safe; takes effect for the next connection.
void setOfficeOptions(const OfficeOptions &options);
OfficeOptions officeOptions();

// Whether `title` may name a document in the export folder: exactly the
// names toValidFileName gives (one function decides what a valid file name
// is; the export passes its title through it).
bool isSafeDocumentTitle(const QString &title);
// The file the office phase writes: `folder` + `title` + ".doc" for a new
// document (target 0), `folder` + "Temp.doc" for an insertion into an open
// document. Empty when the title is no valid file name: the office phase
// then writes nothing.
QString documentFilePath(const QString &folder, const QString &title, int targetIndex);

// A picture's size in the document (1/100 mm): one wider than 17.5 cm is
// narrowed to 17.5 cm with its height in proportion; others keep theirs.
QSize narrowedPictureSize(QSize size);
} // namespace tarnvik::word

namespace tarnvik::word {
// A failure of an office call, with the German text for the status note.
struct WordError {
    QString message;
    bool officeMissing = false; // the office program cannot be started at all
    bool saveFailed = false;    // `message` is a whole sentence; an earlier document is kept
};
} // namespace tarnvik::word

// Opens `file` in the office (started when none runs) as a hidden text
// document and links the document connection to it. Afterwards, also when
// opening failed, `show` brings the document to the front and `release`
// releases both links. Throws tarnvik::word::WordError (or the office's own
// exception when a call into it fails); may wait for an office to start, so never call it on the UI thread. Used by the office
// phase, which holds the links.
void OpenInWord(const QString &file, bool show, bool release);

// Outcome of the office phase.
struct WordBuildResult {
    bool ok = false;
    QString documentFile; // the saved document (or "Temp.doc" for an insertion)
    QString error;        // for the status note; the office phase shows no box
    // No office to build with: this build has no binding, or the office
    // program cannot be started. The export then keeps its HTML file and
    // pictures and says where they are.
    bool officeMissing = false;
    // The document could not be saved (or came out incomplete): `error` is a
    // whole sentence, and an earlier document of that name is kept.
    bool saveFailed = false;
};

using WordBuildFinished = std::function<void(const WordBuildResult &)>;
// Called on the UI thread with a short German text when the office phase
// moves on to its next stage ("Dokument wird formatiert…").
using WordBuildStage = std::function<void(const QString &)>;

// The office phase of the export: opens `htmlFile` as a text document,
// formats it, saves it in the export folder `folder` (the data module's
// DokuPath as the export took it at its start) as `title` + ".doc" (target
// 0) or as "Temp.doc" inserted at the end of open document `targetIndex`
// (1-based, as ListOpenDocuments lists them), and shows the office. The
// saved document must hold `picturesFetched` pictures of its own (the ones
// the export has in its pictures folder); one that falls short does not
// replace an earlier document. Returns at once; the office work runs off the
// UI thread and `finished` is called on the UI thread when it is over. One
// office phase at a time: a second call while one runs finishes at once
// with an error.
void BuildWordDocument(const QString &folder, const QString &htmlFile, const QString &title, int targetIndex,
                       bool picturesFound, int picturesFetched, WordBuildFinished finished,
                       WordBuildStage stage = {});

namespace tarnvik::word {
// The same office phase on the calling thread, for tools and benchmarks;
// never call it from the UI thread of the program.
WordBuildResult buildDocumentNow(const QString &folder, const QString &htmlFile, const QString &title,
                                 int targetIndex, bool picturesFound, int picturesFetched,
                                 const WordBuildStage &stage = {});
} // namespace tarnvik::word
