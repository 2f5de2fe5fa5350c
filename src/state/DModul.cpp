#include "state/DModul.h"

#include "state/CommaText.h"
#include "state/ErrorReport.h"
#include "state/WorkFolder.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <limits>

TDM *DM = nullptr;

namespace {

const char *const kOrganisation = "Tarnvik";
constexpr qsizetype kMaxPicIDs = 1000;
constexpr int kMaxPicIDs_kept = 10;
// How long the exit may wait for the keychain to take a changed password.
constexpr int kExitWaitMs = 400;

const QString kName = QStringLiteral("Name");
const QString kEMail = QStringLiteral("EMail");
const QString kPasswort = QStringLiteral("Passwort");
const QString kTemplate = QStringLiteral("Template");
const QString kPicIDs = QStringLiteral("PicIDs");
const QString kForum = QStringLiteral("Forum");
const QString kDokuPath = QStringLiteral("DokuPath");

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
// a prompt: such a system counts as one without a keychain. So does one whose
// event loop is not GLib's (QT_NO_GLIB), through which alone the secret
// service answers.
bool keychainReachable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    const QAbstractEventDispatcher *loop = QAbstractEventDispatcher::instance();
    if (!loop || !loop->inherits("QEventDispatcherGlib"))
        return false;
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

std::unique_ptr<QSettings> TDMEnvironment::openPlatformSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(kOrganisation),
                                       QString());
}

TDMEnvironment TDMEnvironment::platform()
{
    TDMEnvironment env;
    env.openSettings = &TDMEnvironment::openPlatformSettings;
    env.programFile = QCoreApplication::applicationFilePath();
    env.documentsFolder = [] { return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation); };
    if (keychainReachable())
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
    : QObject(parent), m_env(std::move(environment)), m_file(m_env.openSettings), m_keychain(m_env.secrets)
{
    connect(&m_keychain, &tarnvik::KeychainPasswort::keychainAnswered, this, [this] {
        // What the keychain took leaves the file; what it refused is kept
        // there.
        QList<tarnvik::SettingsFile::Change> changes;
        addPasswortEntry(changes);
        m_file.write(changes);
        emit KeychainAnswered();
    });
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
    std::optional<QString> storedPasswort;
    QString refusedFolder;
    if (m_file.beginReading()) {
        m_Name = m_file.text(kName);
        m_EMail = m_file.text(kEMail);
        const QString passwort = m_file.text(kPasswort);
        if (m_file.contains(kPasswort))
            storedPasswort = passwort;
        m_Template = m_file.text(kTemplate);
        m_PicIDs = m_file.list(kPicIDs, kMaxPicIDs);
        m_Forum = Forums::Machines;
        if (const std::optional<qint64> forum =
                m_file.integer(kForum, std::numeric_limits<qint32>::min(), std::numeric_limits<quint32>::max()))
            m_Forum = ForumKind(*forum & 0xff);
        // The stored folder is taken as it is: loading changes nothing.
        const QString folder = m_file.text(kDokuPath);
        if (isUsableFolder(folder))
            assignDokuPath(folder);
        else if (!folder.isEmpty())
            refusedFolder = folder;
        m_file.endReading();
    }
    QStringList errors = m_file.takeErrors();

    m_ProgramPath = tarnvik::withTrailingSeparator(QFileInfo(m_env.programFile).absolutePath());

    if (m_DokuPath.isEmpty() && m_env.documentsFolder) {
        const QString documents = m_env.documentsFolder();
        // The default folder is stored, unless it only stands in for a
        // stored value that could not be read.
        if (!documents.isEmpty() && assignDokuPath(tarnvik::withTrailingSeparator(documents) + QStringLiteral("Tarnvik"))
            && !m_file.refused(kDokuPath)) {
            m_DokuPathChanged = true;
            m_unsaved |= DokuPathGroup;
        }
    }
    if (!refusedFolder.isEmpty()) {
        errors << QStringLiteral("Der gespeicherte Exportordner „%1“ wird nicht verwendet, weil er kein vollständiger "
                                 "Pfad ist oder „..“ enthält. %2")
                      .arg(shortened(refusedFolder),
                           m_DokuPath.isEmpty() ? QStringLiteral("Es ist kein Exportordner eingestellt")
                                                : QStringLiteral("Stattdessen gilt „%1“").arg(m_DokuPath));
    }

    m_keychain.start(storedPasswort);

    for (const QString &error : std::as_const(errors))
        tarnvik::reportError(error);
}

void TDM::DataModuleDestroy()
{
    m_keychain.finish(kExitWaitMs);
    SaveSettings();
}

void TDM::SaveSettings()
{
    QList<tarnvik::SettingsFile::Change> changes;
    if (m_unsaved & TextsGroup)
        changes << tarnvik::SettingsFile::Change{kName, m_Name} << tarnvik::SettingsFile::Change{kEMail, m_EMail};
    // The password goes with its group where there is no keychain; with
    // one, the keychain's answers decide.
    if ((m_unsaved & TextsGroup) || m_keychain.hasKeychain())
        addPasswortEntry(changes);
    if (m_unsaved & TextsGroup)
        changes << tarnvik::SettingsFile::Change{kTemplate, m_Template};
    if (m_unsaved & ForumGroup)
        changes << tarnvik::SettingsFile::Change{kForum, int(m_Forum)};
    if (m_unsaved & PicIDsGroup)
        changes << tarnvik::SettingsFile::Change{kPicIDs, tarnvik::toCommaText(m_PicIDs)};
    if (m_unsaved & DokuPathGroup)
        changes << tarnvik::SettingsFile::Change{kDokuPath, m_DokuPath};
    if (m_file.write(changes))
        m_unsaved = 0;
}

void TDM::addPasswortEntry(QList<tarnvik::SettingsFile::Change> &changes) const
{
    switch (m_keychain.fileEntry()) {
    case tarnvik::KeychainPasswort::FileEntry::Put:
        changes << tarnvik::SettingsFile::Change{kPasswort, m_keychain.value()};
        break;
    case tarnvik::KeychainPasswort::FileEntry::Remove:
        changes << tarnvik::SettingsFile::Change{kPasswort, std::nullopt};
        break;
    case tarnvik::KeychainPasswort::FileEntry::Leave:
        break;
    }
}

bool TDM::OpenSettingsStore() const
{
    return m_file.writable();
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

void TDM::changed(Group group, const QString &name)
{
    switch (group) {
    case TextsGroup:
        m_TextsChanged = true;
        break;
    case ForumGroup:
        m_ForumChanged = true;
        break;
    case PicIDsGroup:
        m_PicIDsChanged = true;
        break;
    case DokuPathGroup:
        m_DokuPathChanged = true;
        break;
    }
    m_unsaved |= group;
    // A value set anew may replace one that could not be loaded.
    m_file.release(name);
}

void TDM::setText(QString &field, const QString &value, const QString &name)
{
    // One flag stands for the whole group of texts.
    if (value != field) {
        field = value;
        changed(TextsGroup, name);
    }
}

void TDM::SetName(const QString &value)
{
    setText(m_Name, value, kName);
}

void TDM::SetEMail(const QString &value)
{
    setText(m_EMail, value, kEMail);
}

void TDM::SetPasswort(const QString &value)
{
    // Only a password that changes goes to the keychain.
    if (value != m_keychain.value()) {
        m_keychain.set(value);
        changed(TextsGroup, kPasswort);
    }
}

void TDM::SetTemplate(const QString &value)
{
    setText(m_Template, value, kTemplate);
}

void TDM::SetForum(ForumKind value)
{
    if (value != m_Forum) {
        m_Forum = value;
        changed(ForumGroup, kForum);
    }
}

void TDM::SetDokuPath(const QString &path)
{
    if (assignDokuPath(path))
        changed(DokuPathGroup, kDokuPath);
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
    changed(PicIDsGroup, kPicIDs);
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
