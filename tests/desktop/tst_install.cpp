// The installed program: `cmake --install` into a temporary prefix, the
// desktop entry and AppStream data through their validators, the data and
// work folders of an installed copy, one start from the desktop entry's
// command under a window manager, and the Debian package.
#include "state/WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kAppId = QStringLiteral(TARNVIK_APP_ID);

struct Run {
    int code = -1;
    QString output;
};

Run run(const QString &program, const QStringList &arguments, int timeoutMs = 60000,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.output = QStringLiteral("%1 did not finish: %2").arg(program, process.errorString());
        return result;
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

// A virtual display of its own with a window manager, so that the suites
// that share the test display never see one.
class DesktopSession
{
public:
    ~DesktopSession()
    {
        stop(m_wm);
        stop(m_display);
    }

    // Empty on success, else what the display or the window manager said.
    QString start()
    {
        // A display counts once a client gets through: where /tmp/.X11-unix
        // may not be written, Xvfb listens on its abstract socket only.
        for (int number = 140; number < 150 && m_name.isEmpty(); ++number) {
            const QString name = QStringLiteral(":%1").arg(number);
            m_display.setProcessChannelMode(QProcess::MergedChannels);
            m_display.start(QStringLiteral("Xvfb"), {name, QStringLiteral("-screen"), QStringLiteral("0"),
                                                     QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                                                     QStringLiteral("tcp")});
            const bool answers = QTest::qWaitFor(
                [&] {
                    return m_display.state() == QProcess::NotRunning
                           || run(QStringLiteral("xdpyinfo"), {QStringLiteral("-display"), name}, 5000).code == 0;
                },
                15000);
            if (answers && m_display.state() == QProcess::Running)
                m_name = name;
            else
                stop(m_display);
        }
        if (m_name.isEmpty())
            return QStringLiteral("no display: ") + QString::fromLocal8Bit(m_display.readAll());
        m_wm.setProcessEnvironment(environment());
        m_wm.setProcessChannelMode(QProcess::MergedChannels);
        m_wm.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        // The window manager is there once it answers for itself.
        Run last;
        if (QTest::qWaitFor([&] { return (last = wmctrl({QStringLiteral("-m")})).code == 0; }, 30000))
            return {};
        return QStringLiteral("no window manager on %1 (%2): %3; %4")
            .arg(m_name, m_wm.state() == QProcess::Running ? QStringLiteral("running") : m_wm.errorString(),
                 last.output, QString::fromLocal8Bit(m_wm.readAll()));
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_name);
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return env;
    }

    Run wmctrl(const QStringList &arguments) const
    {
        return run(QStringLiteral("wmctrl"), arguments, 10000, environment());
    }

    // The X window id of the top-level window titled `title`, or empty.
    QString windowTitled(const QString &title) const
    {
        for (const QString &line : wmctrl({QStringLiteral("-l")}).output.split(QLatin1Char('\n'))) {
            if (line.endsWith(QLatin1Char(' ') + title))
                return line.section(QLatin1Char(' '), 0, 0);
        }
        return {};
    }

private:
    static void stop(QProcess &process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished();
        }
    }

    QProcess m_display;
    QProcess m_wm;
    QString m_name;
};

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir m_prefix;
    QTemporaryDir m_home;

    QString installed(const QString &path) const { return m_prefix.filePath(path); }
    QString desktopFile() const { return installed(QStringLiteral("share/applications/%1.desktop").arg(kAppId)); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid() && m_home.isValid());
        const Run install = run(QStringLiteral(TARNVIK_CMAKE_COMMAND),
                                {QStringLiteral("--install"), QStringLiteral(TARNVIK_BINARY_DIR),
                                 QStringLiteral("--prefix"), m_prefix.path()});
        QVERIFY2(install.code == 0, qPrintable(install.output));
    }

    void tree()
    {
        for (const QString &program : {QStringLiteral("tarnvik"), QStringLiteral("tarnvik-forumsim")}) {
            const QFileInfo file(installed(QStringLiteral("bin/") + program));
            QVERIFY2(file.isFile() && file.isExecutable(), qPrintable(file.filePath()));
        }
        for (const QString &data : {QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId),
                                    QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(kAppId)})
            QVERIFY2(QFileInfo(installed(data)).size() > 0, qPrintable(data));
        // The template as built for the configured forum host.
        QFile built(QStringLiteral(TARNVIK_BINARY_DIR "/src/Response.html"));
        QFile copy(installed(QStringLiteral("share/tarnvik/Response.html")));
        QVERIFY(built.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), built.readAll());
    }

    void validators()
    {
        const Run desktop = run(QStringLiteral("desktop-file-validate"), {desktopFile()});
        QVERIFY2(desktop.code == 0 && desktop.output.trimmed().isEmpty(), qPrintable(desktop.output));
        const Run appstream =
            run(QStringLiteral("appstreamcli"),
                {QStringLiteral("validate"), QStringLiteral("--no-net"),
                 installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId))});
        QVERIFY2(appstream.code == 0, qPrintable(appstream.output));
    }

    // An installed copy reads its template from the shared data folder and
    // writes its work files into the per-user one, never into bin/.
    void dataAndWorkFolders()
    {
        // As the program names itself, and with the environment it would
        // see; restored afterwards for the processes the other cases start.
        QCoreApplication::setApplicationName(QStringLiteral("Tarnvik"));
        const QProcessEnvironment saved = QProcessEnvironment::systemEnvironment();
        const auto restore = qScopeGuard([&saved] {
            for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"}) {
                const QString value = saved.value(QLatin1String(name));
                if (saved.contains(QLatin1String(name)))
                    qputenv(name, value.toLocal8Bit());
                else
                    qunsetenv(name);
            }
        });
        qputenv("HOME", m_home.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", m_home.filePath(QStringLiteral(".local/share")).toLocal8Bit());
        // A prefix outside the data search path, as under /opt.
        qputenv("XDG_DATA_DIRS", "/usr/share");
        const QString bin = installed(QStringLiteral("bin"));
        QCOMPARE(QFileInfo(tarnvik::dataFilePath(bin, QStringLiteral("Response.html"))).canonicalFilePath(),
                 QFileInfo(installed(QStringLiteral("share/tarnvik/Response.html"))).canonicalFilePath());
        const QString work = tarnvik::workFolder(bin); // made here if missing
        QCOMPARE(QDir(work).canonicalPath(), QDir(m_home.filePath(QStringLiteral(".local/share/Tarnvik"))).canonicalPath());

        // A copy run from a folder of its own works there.
        QTemporaryDir portable;
        QCOMPARE(QDir(tarnvik::workFolder(portable.path())).canonicalPath(), QDir(portable.path()).canonicalPath());
    }

    // Started with the desktop entry's command, as a menu does: the window
    // comes up maximised and closes cleanly when the window manager asks.
    void startsFromTheDesktopEntry()
    {
        QSettings entry(desktopFile(), QSettings::IniFormat);
        const QString exec = entry.value(QStringLiteral("Desktop Entry/Exec")).toString();
        QCOMPARE(exec, QStringLiteral("tarnvik"));

        DesktopSession session;
        const QString problem = session.start();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        const QString config = m_home.filePath(QStringLiteral(".config"));
        QVERIFY(QDir().mkpath(config));
        {
            // A user name, so no settings dialog; section 3, so no page.
            QSettings settings(config + QStringLiteral("/Tarnvik.conf"), QSettings::IniFormat);
            settings.setValue(QStringLiteral("Name"), QStringLiteral("Holzwurm"));
            settings.setValue(QStringLiteral("Forum"), 3);
        }
        QProcessEnvironment env = session.environment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("XDG_DATA_DIRS"), installed(QStringLiteral("share")) + QStringLiteral(":/usr/share"));
        env.insert(QStringLiteral("PATH"), installed(QStringLiteral("bin")) + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

        QProcess program;
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStandardPaths::findExecutable(exec, {installed(QStringLiteral("bin"))}), {});
        QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));

        // Looked up each time: the program re-creates its native window once
        // after the first showing.
        QString state;
        QTRY_VERIFY2_WITH_TIMEOUT(
            [&] {
                const QString window = session.windowTitled(QStringLiteral("Tarnvik BETA"));
                state = window.isEmpty() ? QStringLiteral("no window")
                                         : run(QStringLiteral("xprop"), {QStringLiteral("-id"), window,
                                                                         QStringLiteral("_NET_WM_STATE")},
                                               10000, session.environment()).output;
                return state.contains(QLatin1String("_NET_WM_STATE_MAXIMIZED_VERT"))
                       && state.contains(QLatin1String("_NET_WM_STATE_MAXIMIZED_HORZ"));
            }(),
            qPrintable(state), 40000);

        QCOMPARE(session.wmctrl({QStringLiteral("-c"), QStringLiteral("Tarnvik BETA")}).code, 0);
        const bool ended = program.waitForFinished(20000);
        if (!ended)
            program.kill();
        const QString output = QString::fromLocal8Bit(program.readAll());
        QVERIFY2(ended && program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0, qPrintable(output));
    }

    void debianPackage()
    {
        QTemporaryDir out;
        const Run cpack = run(QStringLiteral(TARNVIK_CPACK_COMMAND),
                              {QStringLiteral("--config"), QStringLiteral(TARNVIK_BINARY_DIR "/CPackConfig.cmake"),
                               QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out.path()},
                              120000);
        QVERIFY2(cpack.code == 0, qPrintable(cpack.output));
        const QStringList debs = QDir(out.path()).entryList({QStringLiteral("tarnvik_*.deb")}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        const QString deb = out.filePath(debs.first());

        const QString depends = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")}).output;
        for (const char *package : {"qt6-translations-l10n", "libqt6webengine6-data", "libqt6webenginewidgets6",
                                    "libqt6svg6", "libcpp-httplib", "libsecret-1-0", "libqt6sql6-sqlite"})
            QVERIFY2(depends.contains(QLatin1String(package)), qPrintable(package + (": " + depends)));

        const QString contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb}).output;
        for (const QString &path : {QStringLiteral("./usr/bin/tarnvik"), QStringLiteral("./usr/bin/tarnvik-forumsim"),
                                    QStringLiteral("./usr/share/tarnvik/Response.html"),
                                    QStringLiteral("./usr/share/tarnvik/Werkstattwoerter.txt"),
                                    QStringLiteral("./usr/share/applications/%1.desktop").arg(kAppId),
                                    QStringLiteral("./usr/share/metainfo/%1.metainfo.xml").arg(kAppId),
                                    QStringLiteral("./usr/share/icons/hicolor/scalable/apps/%1.svg").arg(kAppId)})
            QVERIFY2(contents.contains(QLatin1Char(' ') + path + QLatin1Char('\n')), qPrintable(path));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
