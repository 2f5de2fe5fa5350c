#include "state/DModul.h"

#include "state/CommaText.h"
#include "state/ErrorReport.h"
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

QString lowerAscii(const QString &text)
{
    QString result = text;
    for (QChar &c : result) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return result;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Reads one text value; a value of another type is reported once and read as
// the default, so that one damaged value does not stop the rest.
QString readText(QSettings &settings, const QString &name, QStringList &errors)
{
    const QVariant value = settings.value(name);
    if (!value.isValid())
        return {};
    if (value.typeId() != QMetaType::QString) {
        errors << QStringLiteral("Ungültiger Datentyp für '%1'").arg(name);
        return {};
    }
    QString text = value.toString();
    if (text.size() > kMaxTextValue) {
        errors << QStringLiteral("Fehler beim Holen der Daten für '%1'").arg(name);
        return {};
    }
    return text;
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

UrlClass classifyAddress(const QString &url)
{
    UrlClass result;
    if (url.contains(QLatin1String("/holzbearbeitungsmaschinen/")))
        result.forum = Forums::Machines;
    if (url.contains(QLatin1String("/forum/")))
        result.forum = Forums::HandTools;
    if (url.contains(QLatin1String("/marktplatz/")))
        result.forum = Forums::Market;
    if (result.forum == Forums::None)
        return result;
    result.hasRead = url.contains(QLatin1String("/read/"));
    if (!result.hasRead)
        return result;

    // The tail is the last character and the run of digits before it; the
    // first character of the address is never taken into it.
    const qsizetype last = url.size() - 1;
    qsizetype p = last - 1;
    while (p > 0 && isDigit(url[p]))
        --p;
    if (p < 0)
        p = 0;
    result.numberAfterHash = url[p] == QLatin1Char('#');
    const QString tail = url.mid(p + 1);
    bool ok = false;
    const qlonglong value = tail.size() <= 18 ? tail.toLongLong(&ok) : 0;
    const bool allDigits = std::all_of(tail.cbegin(), tail.cend(), isDigit);
    result.threadNumber = (ok && allDigits && value <= 2147483647LL) ? qint32(value) : 0;
    return result;
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
    if (m_env.openSettings) {
        std::unique_ptr<QSettings> settings = m_env.openSettings();
        const bool keyExists = settings && (QFileInfo::exists(settings->fileName()) || !settings->allKeys().isEmpty());
        if (keyExists) {
            m_Name = readText(*settings, QStringLiteral("Name"), errors);
            m_EMail = readText(*settings, QStringLiteral("EMail"), errors);
            m_Passwort = readText(*settings, QStringLiteral("Passwort"), errors);
            m_Template = readText(*settings, QStringLiteral("Template"), errors);
            m_PicIDs = tarnvik::fromCommaText(readText(*settings, QStringLiteral("PicIDs"), errors), kMaxPicIDs);

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
            }
            SetDokuPath(readText(*settings, QStringLiteral("DokuPath"), errors));
        }
    }

    m_ProgramPath = tarnvik::withTrailingSeparator(QFileInfo(m_env.programFile).absolutePath());

    if (m_DokuPath.isEmpty() && m_env.documentsFolder) {
        const QString documents = m_env.documentsFolder();
        if (!documents.isEmpty())
            SetDokuPath(tarnvik::withTrailingSeparator(documents) + QStringLiteral("Tarnvik"));
    }

    for (const QString &error : std::as_const(errors))
        tarnvik::reportError(error);
}

void TDM::DataModuleDestroy()
{
    if (!(m_TextsChanged || m_ForumChanged || m_PicIDsChanged || m_DokuPathChanged) || !m_env.openSettings)
        return;
    std::unique_ptr<QSettings> settings = m_env.openSettings();
    if (!settings || !settings->isWritable())
        return;
    if (m_TextsChanged) {
        settings->setValue(QStringLiteral("Name"), m_Name);
        settings->setValue(QStringLiteral("EMail"), m_EMail);
        settings->setValue(QStringLiteral("Passwort"), m_Passwort);
        settings->setValue(QStringLiteral("Template"), m_Template);
    }
    if (m_ForumChanged)
        settings->setValue(QStringLiteral("Forum"), int(m_Forum));
    if (m_PicIDsChanged)
        settings->setValue(QStringLiteral("PicIDs"), tarnvik::toCommaText(m_PicIDs));
    if (m_DokuPathChanged)
        settings->setValue(QStringLiteral("DokuPath"), m_DokuPath);
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

void TDM::setText(QString &field, const QString &value)
{
    // One flag stands for the whole group of texts.
    if (value != field) {
        field = value;
        m_TextsChanged = true;
    }
}

void TDM::SetName(const QString &value)
{
    setText(m_Name, value);
}

void TDM::SetEMail(const QString &value)
{
    setText(m_EMail, value);
}

void TDM::SetPasswort(const QString &value)
{
    setText(m_Passwort, value);
}

void TDM::SetTemplate(const QString &value)
{
    setText(m_Template, value);
}

void TDM::SetForum(ForumKind value)
{
    if (value != m_Forum) {
        m_Forum = value;
        m_ForumChanged = true;
    }
}

void TDM::SetDokuPath(const QString &path)
{
    // Folders always end in the platform's separator, so that file names can
    // be appended directly.
    const QString folder = tarnvik::withTrailingSeparator(path);
    if (folder == m_DokuPath)
        return;
    m_DokuPath = folder;
    // Missing parents are made too: a fresh account may lack a documents
    // folder, and an export must not fail for a folder that was never made.
    const bool present = !folder.isEmpty() && QDir().mkpath(folder);
    if (present)
        QDir().mkpath(PicturesPath());
    m_DokuPathChanged = true;
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
}

void TDM::ClassifyUrl(const QString &address)
{
    m_CurrentUrl = lowerAscii(address);
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
