#pragma once

#include "state/Endpoints.h"
#include "state/KeychainPasswort.h"
#include "state/SecretStore.h"
#include "state/SettingsFile.h"
#include "state/UrlClass.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class QSettings;

// Where the data module finds the settings store, the keychain, the program
// file and the user's documents folder. The program uses the platform's; the
// tests point each at a temporary place.
struct TDMEnvironment {
    std::function<std::unique_ptr<QSettings>()> openSettings;
    QString programFile;
    std::function<QString()> documentsFolder; // empty text: there is none
    // Where the password is kept. Without one it stays in the settings store,
    // as where the system has no keychain.
    std::shared_ptr<tarnvik::SecretStore> secrets;

    static TDMEnvironment platform();
    // The platform's per-user settings store of the program, as platform()
    // opens it.
    static std::unique_ptr<QSettings> openPlatformSettings();
    // Settings in an INI file of the given name, the program file in
    // `programFolder`, the documents folder as given, no keychain: for trials
    // and tests.
    static TDMEnvironment inFolder(const QString &settingsFile, const QString &programFolder,
                                   const QString &documentsFolder);
};

// The data module: the one holder of the user's settings and the page state
// (the shared icons, which only windows draw, are in state/Icons.h). Settings
// change only through the setters; the change flags decide what is written
// back, when the settings dialog closes with OK and when the module is
// destroyed. The settings store is kept by a SettingsFile, the password by a
// KeychainPasswort: the keychain is read in the background, so the password
// may become known only after the module is made.
class TDM : public QObject
{
    Q_OBJECT
public:
    explicit TDM(TDMEnvironment environment = TDMEnvironment::platform(), QObject *parent = nullptr);
    ~TDM() override;

    // Settings.
    const QString &Name() const { return m_Name; }
    const QString &EMail() const { return m_EMail; }
    // Empty while it is not known (see PasswortKnown).
    const QString &Passwort() const { return m_keychain.value(); }
    const QString &Template() const { return m_Template; }
    const QStringList &PicIDs() const { return m_PicIDs; }
    ForumKind Forum() const { return m_Forum; }
    const QString &DokuPath() const { return m_DokuPath; }
    QString PicturesPath() const;
    const QString &ProgramPath() const { return m_ProgramPath; }
    // Folder of the work files ("Temp.html", drafts): the program folder
    // when it is writable, else the per-user data folder.
    QString WorkPath() const;
    // A data file that ships with the program, such as "Response.html".
    QString DataFile(const QString &name) const;

    void SetName(const QString &value);
    void SetEMail(const QString &value);
    void SetPasswort(const QString &value);
    void SetTemplate(const QString &value);
    void SetForum(ForumKind value);
    void SetDokuPath(const QString &path);
    void AddPicID(const QString &number);

    bool TextsChanged() const { return m_TextsChanged; }
    bool ForumChanged() const { return m_ForumChanged; }
    bool PicIDsChanged() const { return m_PicIDsChanged; }
    bool DokuPathChanged() const { return m_DokuPathChanged; }
    // Whether the keychain has taken the password; otherwise it stays in the
    // settings store as plain text.
    bool PasswortInKeychain() const { return m_keychain.inKeychain(); }
    // Whether the keychain has answered, so that Passwort holds what there
    // is to know. Until then, windows that need the password wait for
    // KeychainAnswered (state/PasswortWait.h).
    bool PasswortKnown() const { return !m_keychain.reading(); }

    // Page state.
    void ClassifyUrl(const QString &address);
    const QString &CurrentUrl() const { return m_CurrentUrl; }
    qint32 ThreadNumber() const { return m_ThreadNumber; }
    bool NumberAfterHash() const { return m_NumberAfterHash; }
    // Title of the last forum page, written by the page processing.
    QString PageTitle;

    // Whether the settings store can be opened for writing (created if
    // missing); the settings dialog hands its values over only then.
    bool OpenSettingsStore() const;
    // Writes the settings changed since they were last written; the store
    // is not touched when nothing changed.
    void SaveSettings();

Q_SIGNALS:
    // The keychain has answered: Passwort, PasswortKnown or
    // PasswortInKeychain may have changed.
    void KeychainAnswered();

private:
    // The groups of values that are written together.
    enum Group { TextsGroup = 1, ForumGroup = 2, PicIDsGroup = 4, DokuPathGroup = 8 };

    void DataModuleCreate();
    void DataModuleDestroy();
    void setText(QString &field, const QString &value, const QString &name);
    void changed(Group group, const QString &name);
    bool assignDokuPath(const QString &path);
    void addPasswortEntry(QList<tarnvik::SettingsFile::Change> &changes) const;

    TDMEnvironment m_env;
    QString m_CurrentUrl;
    ForumKind m_Forum = 0;
    QString m_Name;
    QString m_EMail;
    QString m_Template;
    QString m_ProgramPath;
    bool m_TextsChanged = false;
    bool m_ForumChanged = false;
    bool m_PicIDsChanged = false;
    bool m_NumberAfterHash = false;
    bool m_DokuPathChanged = false;
    qint32 m_ThreadNumber = 0;
    QStringList m_PicIDs;
    QString m_DokuPath;
    // Groups changed since the settings were last written.
    int m_unsaved = 0;
    tarnvik::SettingsFile m_file;
    tarnvik::KeychainPasswort m_keychain;
};

// The one data module of the running program.
extern TDM *DM;

namespace tarnvik {
// Appends the platform's separator unless the path already ends in one.
QString withTrailingSeparator(const QString &path);
} // namespace tarnvik
