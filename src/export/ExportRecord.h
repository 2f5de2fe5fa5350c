#pragma once

#include <QList>
#include <QString>

// What the exports wrote: each document's size and time as the export left
// it, so that a later export can tell whether the user may have edited a
// document before it replaces it. Kept as a small JSON file among the
// program's own data.
namespace tarnvik {

class ExportRecord
{
public:
    // How a document stands against the record.
    enum class State {
        Absent,    // no such file: nothing to replace
        AsWritten, // size and time as the last export left them
        Changed,   // size or time differ: the user may have edited it
        Unknown,   // not written by an export the record knows of
    };

    // Reads `recordFile`; a missing, oversized or unreadable one gives an
    // empty record.
    static ExportRecord load(const QString &recordFile);

    State state(const QString &document) const;
    // Notes `document` as it is now on disk, as written by an export.
    void noteWritten(const QString &document);
    // Writes the record back, all or nothing; false with `error`.
    bool save(QString &error) const;

    // The most documents kept; the oldest notes go first.
    static constexpr int kMaxEntries = 500;
    // A larger record file is not read.
    static constexpr qint64 kMaxFileBytes = 512 * 1024;

private:
    struct Entry {
        QString file;
        qint64 size = 0;
        qint64 modifiedMs = 0;
    };
    void trim();

    QString m_file;
    QList<Entry> m_entries; // oldest first
};

} // namespace tarnvik
