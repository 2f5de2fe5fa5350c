#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

class QSettings;

namespace tarnvik {

// The settings store as the data module keeps it. Values are read with their
// type checked and their size bounded: one that does not fit is reported,
// read as the default and never written over or removed until the program
// sets it anew, so that one damaged value neither stops the rest nor is lost
// at the next save. A value stored in the Windows code page is read as such
// and written back as read whenever the store is written for another value.
class SettingsFile
{
public:
    using Opener = std::function<std::unique_ptr<QSettings>()>;
    // One value to write; no value: remove it.
    struct Change {
        QString name;
        std::optional<QVariant> value;
    };

    explicit SettingsFile(Opener open);
    ~SettingsFile();

    // Reading, once at start: false when there is no store yet (the first
    // run), and nothing is read then.
    bool beginReading();
    QString text(const QString &name);
    // A comma text; also taken as the list the settings file makes of an
    // unquoted one ("4711,4712").
    QStringList list(const QString &name, qsizetype maxEntries);
    // An integer (also one stored as text) within `min` and `max`; nothing
    // when it is missing or damaged.
    std::optional<qint64> integer(const QString &name, qint64 min, qint64 max);
    // Whether the value is stored and could be loaded.
    bool contains(const QString &name) const;
    void endReading();
    // The messages of the values that could not be loaded, in reading order.
    QStringList takeErrors();

    // Whether the value could not be loaded (and is not written).
    bool refused(const QString &name) const { return m_unloaded.contains(name); }
    // The program has set the value anew: it may be written again.
    void release(const QString &name);
    // Whether the store can be opened for writing (made if missing).
    bool writable() const;
    // Writes the changes that are due, leaving values that could not be
    // loaded; the store is not touched when nothing differs from it. False
    // when it could not be written.
    bool write(const QList<Change> &changes);

private:
    QVariant read(const QString &name);
    QString textOf(const QString &name, const QVariant &value);
    QString refuse(const QString &name, const QString &message);
    const QByteArray &rawFile();

    Opener m_open;
    std::unique_ptr<QSettings> m_reading;
    QByteArray m_raw;
    bool m_rawRead = false;
    QStringList m_errors;
    QSet<QString> m_unloaded;
    // Values read as Windows-1252, as read.
    QHash<QString, QVariant> m_recoded;
};

} // namespace tarnvik
