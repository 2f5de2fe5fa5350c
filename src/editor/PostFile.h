#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

// Plain text files that keep a post: the body's lines, then the subject as
// the last line. Written as UTF-8 with CR LF; read as state/TextFile.h
// reads text files (UTF-8, Windows-1252 or UTF-16 after a byte order mark;
// CR LF, lone CR and lone LF all end a line).
namespace tarnvik::postfile {

// The most a post can hold. The forum takes bodies up to 64 KiB; beyond
// that the text layout of one long paragraph keeps the window busy for
// seconds, and for minutes at a few MiB. Everything the editor takes in
// (files, drafts, the template, a paste) is held to these bounds.
constexpr qsizetype kMaxBodyLength = 64 * 1024;
constexpr qsizetype kMaxSubjectLength = 1024;
// A file that holds a post within the bounds is never larger than this, in
// any encoding it is read in.
constexpr qint64 kMaxFileSize = 256 * 1024;

struct Post {
    QStringList bodyLines;
    QString subject;

    friend bool operator==(const Post &, const Post &) = default;
};

// False when the text holds control characters that no text file has (NUL
// and the like): the file was a program, a picture, or UTF-16 without a
// byte order mark.
bool isPlainText(const QString &text);

// The file's bytes for a post.
QByteArray encode(const Post &post);
// The post a file's text holds; false when it has no line at all.
bool decode(const QString &text, Post &post);
// A draft keeps the body exactly as typed: its lines are the texts between
// the line breaks, so a break at the very end stays as a last empty line
// (a post file's lines each end in a break, which would add one).
Post draftPost(const QString &lfBody, const QString &subject);
// The body (LF text) a draft holds.
QString draftBody(const Post &draft);
// Whether a post is within kMaxBodyLength and kMaxSubjectLength.
bool withinBounds(const Post &post);

// Reads a post file; a file that is no text or over the bounds is refused.
// On failure returns false with the error text for the standard error report
// in `error`.
bool read(const QString &fileName, Post &post, QString &error);
// Writes a post file atomically, replacing an existing one. On failure
// returns false with the error text in `error`.
bool write(const QString &fileName, const Post &post, QString &error);

// The draft file of an answer to a thread: one per thread, so that a draft
// is offered again only for its own thread.
QString answerDraftName(qint32 threadNumber);
// Deletes the oldest answer drafts in `folder` but the one named `spare`
// until at most `keep` others remain; other files are left alone.
void pruneAnswerDrafts(const QString &folder, int keep, const QString &spare = {});
constexpr int kMaxAnswerDrafts = 20;
// Renames a draft the editor refused ("NewText.txt" to
// "NewText.nicht-geladen.txt", numbered where that name is taken), so that
// the next save of the editor cannot write over it. Returns the new name,
// or empty where the file could not be renamed.
QString setDraftAside(const QString &fileName);

// Keeps an editor's text in a draft file: a few seconds after the first
// unsaved change, and whenever saveNow() is called, so that a crash or a
// closed window loses at most the last seconds of typing. Only a post that
// differs from the one the editor started with (or last wrote) is written,
// so a change signal that changed no text (underlines) writes nothing. An
// empty post leaves no draft behind. An empty file name means there is no
// folder to keep drafts in: every save then fails.
class DraftKeeper : public QObject
{
    Q_OBJECT
public:
    DraftKeeper(QString fileName, std::function<Post()> snapshot, QObject *parent = nullptr);

    static constexpr int kDelayMs = 2000;

    const QString &fileName() const { return m_fileName; }
    bool isPending() const { return m_dirty; }

    // Whether closing without a draft would lose text: the post is not
    // empty, and it differs from the one the editor started with (or the
    // last cleared) or came from a draft.
    bool holdsText() const;

    // Marks the text as changed; it is written once the delay has passed.
    void changed();
    // Writes a pending change now. False when writing failed.
    bool saveNow();
    // Deletes the draft (a missing file is no error); the post as it is
    // counts as kept, and a later change makes a new draft.
    void clear();
    // Deletes the draft and writes no more.
    void discard();

signals:
    // Writing the draft failed; emitted once when saving starts to fail, not
    // per attempt.
    void saveFailed(const QString &error);
    // A save worked again after saveFailed.
    void saveRecovered();

private:
    QString m_fileName;
    std::function<Post()> m_snapshot;
    // What the draft file holds, or the post the editor started with.
    Post m_kept;
    QTimer m_timer;
    bool m_dirty = false;
    bool m_discarded = false;
    bool m_failing = false;
};

} // namespace tarnvik::postfile
