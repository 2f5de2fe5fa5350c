#pragma once

// The program as the window suites start it: a fresh settings file in a
// temporary folder, the data module over it as DM and, when asked, the main
// window with a fake browser host or Qt WebEngine. Each start() begins anew;
// stop(), and the end of the fixture, close the window before the data module
// and leave DM empty.
#include "common/FakeBrowserHost.h"
#include "main/Main.h"
#include "state/DModul.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

// How a suite starts the program: by default a settings file with the user
// name "Holzwurm" and the stored section 0, the program and documents folders
// the fixture's own, no main window.
class ProgramStart
{
public:
    enum Window { NoWindow, FakeBrowser, RealBrowser };

    explicit ProgramStart(int forum = 0, Window window = NoWindow) : m_forum(forum), m_window(window) {}
    // A settings file without a name and without a section.
    static ProgramStart bare()
    {
        ProgramStart how;
        how.m_name.clear();
        how.m_forum.reset();
        return how;
    }

    ProgramStart &name(const QString &name) { m_name = name; return *this; }
    ProgramStart &value(const QString &key, const QVariant &value) { m_values.insert(key, value); return *this; }
    ProgramStart &values(const QVariantMap &values) { m_values.insert(values); return *this; }
    ProgramStart &programFolder(const QString &folder) { m_programFolder = folder; return *this; }
    ProgramStart &documentsFolder(const QString &folder) { m_documentsFolder = folder; return *this; }
    // What a suite puts into the environment of its own (a keychain, a
    // settings store that cannot be opened).
    ProgramStart &environment(std::function<void(TDMEnvironment &)> change)
    {
        m_environment = std::move(change);
        return *this;
    }

private:
    friend class TestProgram;
    QString m_name = QStringLiteral("Holzwurm");
    std::optional<int> m_forum;
    Window m_window;
    QVariantMap m_values;
    QString m_programFolder;
    QString m_documentsFolder;
    std::function<void(TDMEnvironment &)> m_environment;
};

class TestProgram
{
public:
    ~TestProgram() { stop(); }

    // False when the folder could not be made.
    bool start(const ProgramStart &how)
    {
        stop();
        if (!m_dir.isValid())
            return false;
        {
            QFile::remove(settingsFile());
            QSettings s(settingsFile(), QSettings::IniFormat);
            if (!how.m_name.isEmpty())
                s.setValue(QStringLiteral("Name"), how.m_name);
            if (how.m_forum)
                s.setValue(QStringLiteral("Forum"), *how.m_forum);
            for (auto it = how.m_values.cbegin(); it != how.m_values.cend(); ++it)
                s.setValue(it.key(), it.value());
        }
        // In the program's order: the window first, then the data module.
        if (how.m_window == ProgramStart::FakeBrowser)
            m_main = std::make_unique<TfrmMain>([this](QWidget *parent) { return m_fake = new FakeBrowserHost(parent); });
        else if (how.m_window == ProgramStart::RealBrowser)
            m_main = std::make_unique<TfrmMain>();
        TDMEnvironment env = TDMEnvironment::inFolder(settingsFile(), orFolder(how.m_programFolder),
                                                      orFolder(how.m_documentsFolder));
        if (how.m_environment)
            how.m_environment(env);
        m_dm = std::make_unique<TDM>(std::move(env));
        DM = m_dm.get();
        return true;
    }

    void stop()
    {
        m_main.reset();
        m_fake = nullptr;
        m_dm.reset();
        DM = nullptr;
    }

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString settingsFile() const { return filePath(QStringLiteral("Tarnvik.conf")); }
    TfrmMain *main() const { return m_main.get(); }
    FakeBrowserHost *fake() const { return m_fake; }

private:
    QString orFolder(const QString &folder) const { return folder.isEmpty() ? path() : folder; }

    QTemporaryDir m_dir;
    std::unique_ptr<TfrmMain> m_main;
    FakeBrowserHost *m_fake = nullptr;
    std::unique_ptr<TDM> m_dm;
};
