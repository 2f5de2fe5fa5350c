#include "state/DModul.h"

#include "state/CommaText.h"
#include "state/ErrorReport.h"
#include "state/FileAccess.h"
#include "state/IniValue.h"
#include "state/WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

TDM *DM = nullptr;

namespace {

const char *const kOrganisation = "Tarnvik";
// Text values larger than this are taken as damaged, not loaded.
constexpr qsizetype kMaxTextValue = 1 << 20;
constexpr qsizetype kMaxPicIDs = 1000;
constexpr int kMaxPicIDs_kept = 10;

// The settings file is read whole only where a value needs its raw bytes.
constexpr qint64 kMaxSettingsFile = 64 << 20;
const QString kPasswort = QStringLiteral("Passwort");
const QString kDokuPath = QStringLiteral("DokuPath");

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

// Reads the stored values. A value of another type, or one too large, is
// reported once, read as the default and marked as not loaded, so that one
// damaged value neither stops the rest nor is lost at the next save.
class SettingsReader
{
public:
    SettingsReader(QSettings &settings, QStringList &errors, QSet<QString> &unloaded, QHash<QString, QVariant> &recoded)
        : m_settings(settings), m_errors(errors), m_unloaded(unloaded), m_recoded(recoded)
    {
    }

    QString text(const QString &name) { return textOf(name, read(name)); }

    // A comma text; also taken as the list the settings file makes of an
    // unquoted one ("4711,4712").
    QStringList list(const QString &name, qsizetype maxEntries)
    {
        const QVariant value = read(name);
        if (value.typeId() != QMetaType::QStringList)
            return tarnvik::fromCommaText(textOf(name, value), maxEntries);
        QStringList list = value.toStringList();
        qsizetype size = 0;
        for (const QString &entry : std::as_const(list))
            size += entry.size() + 1;
        if (size > kMaxTextValue) {
            refuse(name, QStringLiteral("Fehler beim Holen der Daten für '%1'"));
            return {};
        }
        if (list.size() > maxEntries)
            list.resize(maxEntries);
        return list;
    }

private:
    QString textOf(const QString &name, const QVariant &value)
    {
        if (!value.isValid())
            return {};
        if (value.typeId() != QMetaType::QString)
            return refuse(name, QStringLiteral("Ungültiger Datentyp für '%1'"));
        QString text = value.toString();
        if (text.size() > kMaxTextValue)
            return refuse(name, QStringLiteral("Fehler beim Holen der Daten für '%1'"));
        return text;
    }

    QVariant read(const QString &name)
    {
        const QVariant value = m_settings.value(name);
        if (!hasReplacementCharacter(value))
            return value;
        // The settings file decodes every value as UTF-8; one an older
        // version wrote in the Windows code page is read again from the
        // file's bytes.
        const QVariant legacy = tarnvik::readIniValueLegacy(rawFile(), name);
        if (!legacy.isValid())
            return value;
        m_recoded.insert(name, legacy);
        return legacy;
    }

    QString refuse(const QString &name, const QString &message)
    {
        m_errors << message.arg(name);
        m_unloaded << name;
        return {};
    }

    const QByteArray &rawFile()
    {
        if (!m_rawRead) {
            m_rawRead = true;
            // Only a settings file has bytes to read; the registry keeps text.
            // One that cannot be read or is too large has none to offer.
            QString ignored;
            if (QFileInfo(m_settings.fileName()).isFile())
                tarnvik::files::readBounded(m_settings.fileName(), kMaxSettingsFile, {}, m_raw, ignored);
        }
        return m_raw;
    }

    QSettings &m_settings;
    QStringList &m_errors;
    QSet<QString> &m_unloaded;
    QHash<QString, QVariant> &m_recoded;
    QByteArray m_raw;
    bool m_rawRead = false;
};

// A stored export folder is taken only as a full path without "..": a
// relative one would be resolved against whatever folder the program was
// started in, and folders would be made there.
bool isUsableFolder(const QString &path)
{
    if (QDir::isRelativePath(path))
        return false;
    const QStringList parts = QString(path).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
    return !parts.contains(QStringLiteral(".."));
}

// Whether the keychain can be reached without starting anything. Where the
// desktop runs no session bus, the keychain library would start one through
// the X server, and the keyring it activates would wait for a new password in
// a prompt: such a system counts as one without a keychain.
bool sessionBusRunning()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
#else
    return true;
#endif
}

QString shortened(const QString &text)
{
    constexpr qsizetype kShown = 200;
    return text.size() <= kShown ? text : text.left(kShown) + QStringLiteral("…");
}

} // namespace

namespace tarnvik {
QString withTrailingSeparator(const QString &path)
{
    if (path.isEmpty())
        return path;
    const QString native = QDir::toNativeSeparators(path);
    if (native.endsWith(QDir::separator()))
        return native;
    return native + QDir::separator();
}
} // namespace tarnvik

TDMEnvironment TDMEnvironment::platform()
{
    TDMEnvironment env;
    env.openSettings = [] {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QLatin1String(kOrganisation), QString());
    };
    env.programFile = QCoreApplication::applicationFilePath();
    env.documentsFolder = [] { return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation); };
    if (sessionBusRunning())
        env.secrets = tarnvik::systemKeychain(QLatin1String(kOrganisation));
    return env;
}

TDMEnvironment TDMEnvironment::inFolder(const QString &settingsFile, const QString &programFolder,
                                        const QString &documentsFolder)
{
    TDMEnvironment env;
    env.openSettings = [settingsFile] { return std::make_unique<QSettings>(settingsFile, QSettings::IniFormat); };
    env.programFile = programFolder + QStringLiteral("/tarnvik");
    env.documentsFolder = [documentsFolder] { return documentsFolder; };
    return env;
}

TDM::TDM(TDMEnvironment environment, QObject *parent)
    : QObject(parent), m_env(std::move(environment))
{
    DataModuleCreate();
}

TDM::~TDM()
{
    DataModuleDestroy();
    if (DM == this)
        DM = nullptr;
}

void TDM::DataModuleCreate()
{
    m_PicIDs.clear();
    QStringList errors;
    std::unique_ptr<QSettings> settings = m_env.openSettings ? m_env.openSettings() : nullptr;
    bool passwortStored = false;
    QString refusedFolder;
    if (settings) {
        const bool keyExists = QFileInfo::exists(settings->fileName()) || !settings->allKeys().isEmpty();
        if (keyExists) {
            SettingsReader read(*settings, errors, m_unloaded, m_recoded);
            m_Name = read.text(QStringLiteral("Name"));
            m_EMail = read.text(QStringLiteral("EMail"));
            m_Passwort = read.text(kPasswort);
            passwortStored = settings->contains(kPasswort) && !m_unloaded.contains(kPasswort);
            m_Template = read.text(QStringLiteral("Template"));
            m_PicIDs = read.list(QStringLiteral("PicIDs"), kMaxPicIDs);

            const QVariant forum = settings->value(QStringLiteral("Forum"));
            m_Forum = Forums::Machines;
            if (forum.isValid()) {
                bool ok = false;
                qlonglong number = 0;
                switch (forum.typeId()) {
                case QMetaType::Int:
                case QMetaType::UInt:
                case QMetaType::LongLong:
                case QMetaType::ULongLong:
                case QMetaType::QString:
                    number = forum.toLongLong(&ok);
                    ok = ok && number >= std::numeric_limits<qint32>::min() && number <= std::numeric_limits<quint32>::max();
                    if (ok)
                        m_Forum = ForumKind(number & 0xff);
                    else
                        errors << QStringLiteral("Fehler beim Holen der Daten für 'Forum'");
                    break;
                default:
                    errors << QStringLiteral("Ungültiger Datentyp für 'Forum'");
                }
                if (!ok)
                    m_unloaded << QStringLiteral("Forum");
            }

            // The stored folder is taken as it is: loading changes nothing.
            const QString folder = read.text(kDokuPath);
            if (isUsableFolder(folder))
                assignDokuPath(folder);
            else if (!folder.isEmpty())
                refusedFolder = folder;
        }
    }

    m_ProgramPath = tarnvik::withTrailingSeparator(QFileInfo(m_env.programFile).absolutePath());

    if (m_DokuPath.isEmpty() && m_env.documentsFolder) {
        const QString documents = m_env.documentsFolder();
        // The default folder is stored, unless it only stands in for a
        // stored value that could not be read.
        if (!documents.isEmpty() && assignDokuPath(tarnvik::withTrailingSeparator(documents) + QStringLiteral("Tarnvik")))
            m_DokuPathChanged = !m_unloaded.contains(kDokuPath);
    }
    if (!refusedFolder.isEmpty()) {
        errors << QStringLiteral("Der gespeicherte Exportordner „%1“ wird nicht verwendet, weil er kein vollständiger "
                                 "Pfad ist oder „..“ enthält. %2")
                      .arg(shortened(refusedFolder),
                           m_DokuPath.isEmpty() ? QStringLiteral("Es ist kein Exportordner eingestellt")
                                                : QStringLiteral("Stattdessen gilt „%1“").arg(m_DokuPath));
    }

    loadPasswort(settings.get(), passwortStored);

    for (const QString &error : std::as_const(errors))
        tarnvik::reportError(error);
}

void TDM::loadPasswort(QSettings *settings, bool storedInSettings)
{
    if (!m_env.secrets)
        return;
    using Status = tarnvik::SecretStore::Status;
    if (storedInSettings) {
        // A password kept in plain text moves into the keychain and out of
        // the settings file, now rather than at exit, so that it is safe even
        // if the program does not end normally. Where the keychain does not
        // take it, it stays where it is.
        if (m_env.secrets->write(kPasswort, m_Passwort) != Status::Ok)
            return;
        m_PasswortInKeychain = true;
        m_recoded.remove(kPasswort);
        settings->remove(kPasswort);
        for (auto it = m_recoded.cbegin(); it != m_recoded.cend(); ++it)
            settings->setValue(it.key(), it.value());
        settings->sync();
        return;
    }
    QString value;
    switch (m_env.secrets->read(kPasswort, value)) {
    case Status::Ok:
        m_PasswortInKeychain = true;
        if (value.size() > kMaxTextValue) {
            m_unloaded << kPasswort;
            tarnvik::reportError(QStringLiteral("Fehler beim Holen der Daten für '%1'").arg(kPasswort));
        } else if (!m_unloaded.contains(kPasswort)) {
            m_Passwort = value;
        }
        break;
    case Status::NotFound:
        m_PasswortInKeychain = true;
        break;
    case Status::Unavailable:
        // The password is unknown, not empty: unless the user sets one, it
        // is neither stored in the file nor written over in the keychain.
        m_unloaded << kPasswort;
        break;
    }
}

void TDM::DataModuleDestroy()
{
    if (!(m_TextsChanged || m_ForumChanged || m_PicIDsChanged || m_DokuPathChanged) || !m_env.openSettings)
        return;
    std::unique_ptr<QSettings> settings = m_env.openSettings();
    if (!settings || !settings->isWritable())
        return;
    QSet<QString> written;
    // A value that could not be loaded is left as it is.
    const auto put = [&](const QString &name, const QVariant &value) {
        if (m_unloaded.contains(name))
            return;
        settings->setValue(name, value);
        written << name;
    };
    if (m_TextsChanged) {
        put(QStringLiteral("Name"), m_Name);
        put(QStringLiteral("EMail"), m_EMail);
        if (m_PasswortInKeychain && !m_unloaded.contains(kPasswort)
            && m_env.secrets->write(kPasswort, m_Passwort) == tarnvik::SecretStore::Status::Ok) {
            settings->remove(kPasswort);
            written << kPasswort;
        } else {
            // Where the keychain fails now, the password is not lost: it
            // stays in the settings file until the keychain answers again.
            put(kPasswort, m_Passwort);
        }
        put(QStringLiteral("Template"), m_Template);
    }
    if (m_ForumChanged)
        put(QStringLiteral("Forum"), int(m_Forum));
    if (m_PicIDsChanged)
        put(QStringLiteral("PicIDs"), tarnvik::toCommaText(m_PicIDs));
    if (m_DokuPathChanged)
        put(kDokuPath, m_DokuPath);
    for (auto it = m_recoded.cbegin(); it != m_recoded.cend(); ++it) {
        if (!written.contains(it.key()))
            settings->setValue(it.key(), it.value());
    }
    settings->sync();
}

bool TDM::OpenSettingsStore() const
{
    if (!m_env.openSettings)
        return false;
    std::unique_ptr<QSettings> settings = m_env.openSettings();
    return settings && settings->isWritable() && settings->status() == QSettings::NoError;
}

QString TDM::WorkPath() const
{
    return tarnvik::workFolder(m_ProgramPath);
}

QString TDM::DataFile(const QString &name) const
{
    return tarnvik::dataFilePath(m_ProgramPath, name);
}

QString TDM::PicturesPath() const
{
    return m_DokuPath + QStringLiteral("Pictures") + QDir::separator();
}

void TDM::setText(QString &field, const QString &value, const QString &name)
{
    // One flag stands for the whole group of texts.
    if (value != field) {
        field = value;
        m_TextsChanged = true;
        m_unloaded.remove(name);
    }
}

void TDM::SetName(const QString &value)
{
    setText(m_Name, value, QStringLiteral("Name"));
}

void TDM::SetEMail(const QString &value)
{
    setText(m_EMail, value, QStringLiteral("EMail"));
}

void TDM::SetPasswort(const QString &value)
{
    setText(m_Passwort, value, kPasswort);
}

void TDM::SetTemplate(const QString &value)
{
    setText(m_Template, value, QStringLiteral("Template"));
}

void TDM::SetForum(ForumKind value)
{
    if (value != m_Forum) {
        m_Forum = value;
        m_ForumChanged = true;
        m_unloaded.remove(QStringLiteral("Forum"));
    }
}

void TDM::SetDokuPath(const QString &path)
{
    if (assignDokuPath(path)) {
        m_DokuPathChanged = true;
        m_unloaded.remove(kDokuPath);
    }
}

bool TDM::assignDokuPath(const QString &path)
{
    // Folders always end in the platform's separator, so that file names can
    // be appended directly.
    const QString folder = tarnvik::withTrailingSeparator(path);
    if (folder == m_DokuPath)
        return false;
    m_DokuPath = folder;
    // Missing parents are made too: a fresh account may lack a documents
    // folder, and an export must not fail for a folder that was never made.
    const bool present = !folder.isEmpty() && QDir().mkpath(folder);
    if (present)
        QDir().mkpath(PicturesPath());
    return true;
}

void TDM::AddPicID(const QString &number)
{
    for (const QString &entry : std::as_const(m_PicIDs)) {
        if (entry.compare(number, Qt::CaseInsensitive) == 0)
            return;
    }
    m_PicIDs.prepend(number);
    if (m_PicIDs.size() > kMaxPicIDs_kept)
        m_PicIDs.removeAt(kMaxPicIDs_kept);
    m_PicIDsChanged = true;
    m_unloaded.remove(QStringLiteral("PicIDs"));
}

void TDM::ClassifyUrl(const QString &address)
{
    m_CurrentUrl = tarnvik::lowerAscii(address);
    const UrlClass cls = classifyAddress(m_CurrentUrl);
    SetForum(cls.forum);
    if (cls.forum == Forums::None)
        return;
    if (!cls.hasRead) {
        m_ThreadNumber = 0;
        return;
    }
    m_NumberAfterHash = cls.numberAfterHash;
    m_ThreadNumber = cls.threadNumber;
}
