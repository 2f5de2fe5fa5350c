#include "editor/PostFile.h"

#include "editor/BodyText.h"
#include "state/FileAccess.h"
#include "state/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace tarnvik::postfile {

bool isPlainText(const QString &text)
{
    // The control characters that text files do not hold; tab, the line and
    // page breaks, escape and the old end-of-file mark (0x1A) may occur.
    const bool controls = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return u <= 0x06 || (u >= 0x0E && u <= 0x19) || (u >= 0x1C && u <= 0x1F);
    });
    // Half a surrogate pair is no character: a broken UTF-16 file, which
    // would come back as replacement characters once saved.
    return !controls && text.isValidUtf16();
}

QByteArray encode(const Post &post)
{
    QStringList lines = post.bodyLines;
    // The subject is one line of the file, whatever it holds.
    lines << body::toLf(post.subject).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return joinLines(lines, QStringLiteral("\r\n")).toUtf8();
}

bool decode(const QString &text, Post &post)
{
    QStringList lines = splitLines(text);
    if (lines.isEmpty())
        return false;
    post.subject = lines.takeLast();
    post.bodyLines = lines;
    return true;
}

Post draftPost(const QString &lfBody, const QString &subject)
{
    return {lfBody.split(QLatin1Char('\n')), subject};
}

QString draftBody(const Post &draft)
{
    return draft.bodyLines.join(QLatin1Char('\n'));
}

bool withinBounds(const Post &post)
{
    // The body as the editor held it: line breaks between the lines.
    qsizetype length = std::max(qsizetype(0), post.bodyLines.size() - 1);
    for (const QString &line : post.bodyLines)
        length += line.size();
    return length <= kMaxBodyLength && post.subject.size() <= kMaxSubjectLength;
}

bool read(const QString &fileName, Post &post, QString &error)
{
    const QString tooLong = QStringLiteral("Sie ist für einen Beitrag zu lang: höchstens %1 Zeichen Text und %2 "
                                           "Zeichen Betreff")
                                .arg(kMaxBodyLength)
                                .arg(kMaxSubjectLength);
    QByteArray bytes;
    if (!files::readBounded(fileName, kMaxFileSize, tooLong, bytes, error))
        return false;
    const QString text = decodeText(bytes);
    if (!isPlainText(text)) {
        error = QStringLiteral("Datei %1 ist keine Textdatei.").arg(QFileInfo(fileName).absoluteFilePath());
        return false;
    }
    Post result;
    if (!decode(text, result)) {
        error = QStringLiteral("Listenindex überschreitet das Maximum (%1)").arg(-1);
        return false;
    }
    if (!withinBounds(result)) {
        error = files::cannotOpen(fileName, tooLong);
        return false;
    }
    post = std::move(result);
    return true;
}

bool write(const QString &fileName, const Post &post, QString &error)
{
    return files::writeAtomically(fileName, encode(post), error);
}

QString answerDraftName(qint32 threadNumber)
{
    return QStringLiteral("AnswerText-%1.txt").arg(threadNumber);
}

void pruneAnswerDrafts(const QString &folder, int keep, const QString &spare)
{
    if (folder.isEmpty())
        return;
    const QRegularExpression draftName(QStringLiteral("^AnswerText-\\d+\\.txt$"));
    QFileInfoList drafts;
    for (const QFileInfo &entry : QDir(folder).entryInfoList({QStringLiteral("AnswerText-*.txt")}, QDir::Files,
                                                           QDir::Time)) {
        if (entry.fileName() != spare && draftName.match(entry.fileName()).hasMatch())
            drafts << entry;
    }
    // Newest first: the ones past `keep` are the oldest.
    for (qsizetype i = keep; i < drafts.size(); ++i)
        QFile::remove(drafts.at(i).filePath());
}

QString setDraftAside(const QString &fileName)
{
    const QFileInfo draft(fileName);
    const QString stem = draft.dir().filePath(draft.completeBaseName() + QStringLiteral(".nicht-geladen"));
    for (int n = 1; n <= 100; ++n) {
        const QString aside = stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + QStringLiteral(".txt");
        if (!QFileInfo::exists(aside))
            return QFile::rename(fileName, aside) ? aside : QString();
    }
    return {};
}

DraftKeeper::DraftKeeper(QString fileName, std::function<Post()> snapshot, QObject *parent)
    : QObject(parent), m_fileName(std::move(fileName)), m_snapshot(std::move(snapshot)), m_kept(m_snapshot())
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kDelayMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { saveNow(); });
}

void DraftKeeper::changed()
{
    if (m_discarded)
        return;
    m_dirty = true;
    // The delay runs from the first unsaved change, not the last, so steady
    // typing is saved too.
    if (!m_timer.isActive())
        m_timer.start();
}

namespace {
bool isEmpty(const Post &post)
{
    return post.subject.isEmpty()
           && std::all_of(post.bodyLines.cbegin(), post.bodyLines.cend(), [](const QString &l) { return l.isEmpty(); });
}
} // namespace

bool DraftKeeper::holdsText() const
{
    if (m_discarded)
        return false;
    const Post post = m_snapshot();
    return !isEmpty(post) && (post != m_kept || (!m_fileName.isEmpty() && QFileInfo::exists(m_fileName)));
}

bool DraftKeeper::saveNow()
{
    m_timer.stop();
    if (m_discarded || !m_dirty)
        return true;
    const Post post = m_snapshot();
    if (post == m_kept) {
        m_dirty = false;
        return true;
    }
    if (isEmpty(post)) {
        // Nothing worth keeping: leave no draft that would hide the template.
        QFile::remove(m_fileName);
        m_kept = post;
        m_dirty = false;
        return true;
    }
    QString error = QStringLiteral("Es gibt keinen beschreibbaren Ordner für Entwürfe");
    if (!m_fileName.isEmpty() && write(m_fileName, post, error)) {
        m_kept = post;
        m_dirty = false;
        if (m_failing) {
            m_failing = false;
            emit saveRecovered();
        }
        return true;
    }
    if (!m_failing) {
        m_failing = true;
        emit saveFailed(error);
    }
    return false;
}

void DraftKeeper::clear()
{
    m_timer.stop();
    m_dirty = false;
    m_kept = m_snapshot();
    if (!m_fileName.isEmpty())
        QFile::remove(m_fileName);
}

void DraftKeeper::discard()
{
    clear();
    m_discarded = true;
}

} // namespace tarnvik::postfile
