#include "state/SettingsFile.h"

#include "state/CommaText.h"
#include "state/FileAccess.h"
#include "state/IniValue.h"

#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace tarnvik {

namespace {

// Text values larger than this are taken as damaged, not loaded.
constexpr qsizetype kMaxTextValue = 1 << 20;
// The settings file is read whole only where a value needs its raw bytes.
constexpr qint64 kMaxSettingsFile = 64 << 20;

QString tooLarge()
{
    return QStringLiteral("Fehler beim Holen der Daten für '%1'");
}

QString wrongType()
{
    return QStringLiteral("Ungültiger Datentyp für '%1'");
}

bool hasReplacementCharacter(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString().contains(QChar::ReplacementCharacter);
    if (value.typeId() == QMetaType::QStringList) {
        const QStringList list = value.toStringList();
        return std::any_of(list.cbegin(), list.cend(),
                           [](const QString &entry) { return entry.contains(QChar::ReplacementCharacter); });
    }
    return false;
}

} // namespace

SettingsFile::SettingsFile(Opener open) : m_open(std::move(open)) {}

SettingsFile::~SettingsFile() = default;

bool SettingsFile::beginReading()
{
    m_reading = m_open ? m_open() : nullptr;
    if (m_reading && (QFileInfo::exists(m_reading->fileName()) || !m_reading->allKeys().isEmpty()))
        return true;
    m_reading.reset();
    return false;
}

void SettingsFile::endReading()
{
    m_reading.reset();
    m_raw.clear();
    m_rawRead = false;
}

QString SettingsFile::text(const QString &name)
{
    return textOf(name, read(name));
}

QStringList SettingsFile::list(const QString &name, qsizetype maxEntries)
{
    const QVariant value = read(name);
    if (value.typeId() != QMetaType::QStringList)
        return fromCommaText(textOf(name, value), maxEntries);
    QStringList list = value.toStringList();
    qsizetype size = 0;
    for (const QString &entry : std::as_const(list))
        size += entry.size() + 1;
    if (size > kMaxTextValue) {
        refuse(name, tooLarge());
        return {};
    }
    if (list.size() > maxEntries)
        list.resize(maxEntries);
    return list;
}

std::optional<qint64> SettingsFile::integer(const QString &name, qint64 min, qint64 max)
{
    const QVariant value = read(name);
    if (!value.isValid())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::QString: {
        bool ok = false;
        const qlonglong number = value.toLongLong(&ok);
        if (ok && number >= min && number <= max)
            return number;
        refuse(name, tooLarge());
        return std::nullopt;
    }
    default:
        refuse(name, wrongType());
        return std::nullopt;
    }
}

bool SettingsFile::contains(const QString &name) const
{
    return m_reading && m_reading->contains(name) && !m_unloaded.contains(name);
}

QStringList SettingsFile::takeErrors()
{
    return std::exchange(m_errors, {});
}

QString SettingsFile::textOf(const QString &name, const QVariant &value)
{
    if (!value.isValid())
        return {};
    if (value.typeId() != QMetaType::QString)
        return refuse(name, wrongType());
    QString text = value.toString();
    if (text.size() > kMaxTextValue)
        return refuse(name, tooLarge());
    return text;
}

QVariant SettingsFile::read(const QString &name)
{
    if (!m_reading)
        return {};
    const QVariant value = m_reading->value(name);
    if (!hasReplacementCharacter(value))
        return value;
    // The settings store decodes every value as UTF-8; one written in the
    // Windows code page is read again from the file's bytes.
    const QVariant recoded = readIniValueCp1252(rawFile(), name);
    if (!recoded.isValid())
        return value;
    m_recoded.insert(name, recoded);
    return recoded;
}

QString SettingsFile::refuse(const QString &name, const QString &message)
{
    m_errors << message.arg(name);
    m_unloaded << name;
    return {};
}

const QByteArray &SettingsFile::rawFile()
{
    if (!m_rawRead) {
        m_rawRead = true;
        // Only a settings file has bytes to read; the registry keeps text.
        // One that cannot be read or is too large has none to offer.
        QString ignored;
        if (QFileInfo(m_reading->fileName()).isFile())
            files::readBounded(m_reading->fileName(), kMaxSettingsFile, {}, m_raw, ignored);
    }
    return m_raw;
}

void SettingsFile::release(const QString &name)
{
    m_unloaded.remove(name);
}

bool SettingsFile::writable() const
{
    if (!m_open)
        return false;
    const std::unique_ptr<QSettings> settings = m_open();
    return settings && settings->isWritable() && settings->status() == QSettings::NoError;
}

bool SettingsFile::write(const QList<Change> &changes)
{
    if (changes.isEmpty())
        return true;
    const std::unique_ptr<QSettings> settings = m_open ? m_open() : nullptr;
    if (!settings || !settings->isWritable())
        return false;
    bool due = false;
    for (const Change &change : changes) {
        if (m_unloaded.contains(change.name))
            continue;
        const bool stored = settings->contains(change.name);
        if (!change.value) {
            if (!stored)
                continue;
            settings->remove(change.name);
        } else {
            const QVariant current = m_recoded.value(change.name, settings->value(change.name));
            if (stored && current.typeId() == QMetaType::QString && change.value->typeId() == QMetaType::QString
                && current.toString() == change.value->toString())
                continue;
            settings->setValue(change.name, *change.value);
        }
        m_recoded.remove(change.name);
        due = true;
    }
    if (!due)
        return true;
    // The store writes every value again, each as it took it when reading:
    // a value it took for broken UTF-8 is given back as it really reads.
    for (auto it = m_recoded.cbegin(); it != m_recoded.cend(); ++it)
        settings->setValue(it.key(), it.value());
    settings->sync();
    if (settings->status() != QSettings::NoError)
        return false;
    m_recoded.clear();
    return true;
}

} // namespace tarnvik
