#include "export/ExportRecord.h"

#include "state/FileAccess.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tarnvik {

namespace {

// One key for a document however its path was written.
QString key(const QString &document)
{
    return QDir::cleanPath(QFileInfo(document).absoluteFilePath());
}

} // namespace

ExportRecord ExportRecord::load(const QString &recordFile)
{
    ExportRecord record;
    record.m_file = recordFile;
    QByteArray bytes;
    QString error;
    // A missing file fails to open like an unreadable one.
    if (recordFile.isEmpty() || !files::readBounded(recordFile, kMaxFileBytes, QString(), bytes, error))
        return record;
    const QJsonArray documents = QJsonDocument::fromJson(bytes).object().value(QLatin1String("documents")).toArray();
    for (const QJsonValue &value : documents) {
        const QJsonObject entry = value.toObject();
        const QString file = entry.value(QLatin1String("file")).toString();
        if (!file.isEmpty())
            record.m_entries.append({file, qint64(entry.value(QLatin1String("size")).toDouble(-1)),
                                     qint64(entry.value(QLatin1String("modified")).toDouble(-1))});
    }
    record.trim();
    return record;
}

ExportRecord::State ExportRecord::state(const QString &document) const
{
    const QFileInfo info(document);
    if (!info.exists())
        return State::Absent;
    const QString path = key(document);
    for (const Entry &entry : m_entries) {
        if (entry.file == path)
            return entry.size == info.size() && entry.modifiedMs == info.lastModified().toMSecsSinceEpoch()
                       ? State::AsWritten
                       : State::Changed;
    }
    return State::Unknown;
}

void ExportRecord::noteWritten(const QString &document)
{
    const QString path = key(document);
    m_entries.removeIf([&](const Entry &entry) { return entry.file == path; });
    const QFileInfo info(document);
    if (!info.exists())
        return;
    m_entries.append({path, info.size(), info.lastModified().toMSecsSinceEpoch()});
    trim();
}

void ExportRecord::trim()
{
    if (m_entries.size() > kMaxEntries)
        m_entries.remove(0, m_entries.size() - kMaxEntries);
}

bool ExportRecord::save(QString &error) const
{
    QJsonArray documents;
    for (const Entry &entry : m_entries)
        documents.append(QJsonObject{{QStringLiteral("file"), entry.file},
                                     {QStringLiteral("size"), double(entry.size)},
                                     {QStringLiteral("modified"), double(entry.modifiedMs)}});
    const QByteArray bytes = QJsonDocument(QJsonObject{{QStringLiteral("documents"), documents}}).toJson();
    return files::writeAtomically(m_file, bytes, error);
}

} // namespace tarnvik
