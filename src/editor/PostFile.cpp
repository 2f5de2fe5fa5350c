#include "editor/PostFile.h"

#include "editor/BodyText.h"
#include "state/LegacyText.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tarnvik::postfile {

QString decodeText(const QByteArray &bytes)
{
    return decodeUtf8OrWindows1252(bytes);
}

QByteArray encode(const Post &post)
{
    QStringList lines = post.bodyLines;
    // The subject is one line of the file, whatever it holds.
    lines << body::toLf(post.subject).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return body::joinLines(lines, QStringLiteral("\r\n")).toUtf8();
}

bool decode(const QString &text, Post &post)
{
    QStringList lines = body::splitLines(text);
    if (lines.isEmpty())
        return false;
    post.subject = lines.takeLast();
    post.bodyLines = lines;
    return true;
}

bool read(const QString &fileName, Post &post, QString &error)
{
    const QString shownName = QFileInfo(fileName).absoluteFilePath();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Datei %1 kann nicht geöffnet werden. %2").arg(shownName, file.errorString());
        return false;
    }
    if (file.size() > kMaxFileSize) {
        error = QStringLiteral("Datei %1 kann nicht geöffnet werden. Sie ist größer als %2 MiB")
                    .arg(shownName).arg(kMaxFileSize / (1024 * 1024));
        return false;
    }
    // Read one byte more than allowed, so a file that grows meanwhile (or a
    // device that reports no size) is caught too.
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (bytes.size() > kMaxFileSize) {
        error = QStringLiteral("Datei %1 kann nicht geöffnet werden. Sie ist größer als %2 MiB")
                    .arg(shownName).arg(kMaxFileSize / (1024 * 1024));
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("Datei %1 kann nicht geöffnet werden. %2").arg(shownName, file.errorString());
        return false;
    }
    if (!decode(decodeText(bytes), post)) {
        error = QStringLiteral("Listenindex überschreitet das Maximum (%1)").arg(-1);
        return false;
    }
    return true;
}

bool write(const QString &fileName, const Post &post, QString &error)
{
    const QString shownName = QFileInfo(fileName).absoluteFilePath();
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(encode(post));
        if (file.commit())
            return true;
    }
    error = QStringLiteral("Datei \"%1\" kann nicht erstellt werden. %2").arg(shownName, file.errorString());
    return false;
}

DraftKeeper::DraftKeeper(QString fileName, std::function<Post()> snapshot, QObject *parent)
    : QObject(parent), m_fileName(std::move(fileName)), m_snapshot(std::move(snapshot))
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

bool DraftKeeper::saveNow()
{
    m_timer.stop();
    if (m_discarded || !m_dirty)
        return true;
    const Post post = m_snapshot();
    bool empty = post.subject.isEmpty();
    for (const QString &line : post.bodyLines)
        empty = empty && line.isEmpty();
    if (empty) {
        // Nothing worth keeping: leave no draft that would hide the template.
        QFile::remove(m_fileName);
        m_dirty = false;
        return true;
    }
    QString error;
    if (write(m_fileName, post, error)) {
        m_dirty = false;
        return true;
    }
    if (!m_failureReported) {
        m_failureReported = true;
        emit saveFailed(error);
    }
    return false;
}

void DraftKeeper::discard()
{
    m_timer.stop();
    m_discarded = true;
    m_dirty = false;
    QFile::remove(m_fileName);
}

} // namespace tarnvik::postfile
