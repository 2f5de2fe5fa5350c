#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

// Plain text files that keep a post: the body's lines, then the subject as
// the last line. Written as UTF-8 with CR LF; read as UTF-8 when the bytes
// are valid UTF-8, otherwise as Windows-1252, the code page older versions
// wrote. CR LF, lone CR and lone LF all end a line.
namespace tarnvik::postfile {

// Files larger than this are refused rather than read into the editor.
constexpr qint64 kMaxFileSize = 8 * 1024 * 1024;

struct Post {
    QStringList bodyLines;
    QString subject;
};

// Bytes -> text: UTF-8 if valid, else Windows-1252.
QString decodeText(const QByteArray &bytes);

// The file's bytes for a post.
QByteArray encode(const Post &post);
// The post a file's text holds; false when it has no line at all.
bool decode(const QString &text, Post &post);

// Reads a post file. On failure returns false with the error text for the
// standard error report in `error`.
bool read(const QString &fileName, Post &post, QString &error);
// Writes a post file atomically, replacing an existing one. On failure
// returns false with the error text in `error`.
bool write(const QString &fileName, const Post &post, QString &error);

// Keeps an editor's text in a draft file: a few seconds after the first
// unsaved change, and whenever saveNow() is called, so that a crash or a
// closed window loses at most the last seconds of typing. An empty post
// leaves no draft behind.
class DraftKeeper : public QObject
{
    Q_OBJECT
public:
    DraftKeeper(QString fileName, std::function<Post()> snapshot, QObject *parent = nullptr);

    static constexpr int kDelayMs = 2000;

    const QString &fileName() const { return m_fileName; }
    bool isPending() const { return m_dirty; }

    // Marks the text as changed; it is written once the delay has passed.
    void changed();
    // Writes a pending change now. False when writing failed.
    bool saveNow();
    // Deletes the draft and writes no more (a missing file is no error).
    void discard();

signals:
    // Writing the draft failed; emitted once per keeper, not per attempt.
    void saveFailed(const QString &error);

private:
    QString m_fileName;
    std::function<Post()> m_snapshot;
    QTimer m_timer;
    bool m_dirty = false;
    bool m_discarded = false;
    bool m_failureReported = false;
};

} // namespace tarnvik::postfile
