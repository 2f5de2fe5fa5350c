#pragma once

// Starts tarnvik-forumsim, the forum and its picture server, on free loopback
// ports for one test suite and stops it again. Suites include it as
// "common/ForumSim.h" (tests/ is on their include path) and need
// TARNVIK_FORUMSIM_PATH, which tarnvik_add_test defines.
//
//     ForumSim sim;
//     QVERIFY2(sim.start(), qPrintable(sim.errorString()));
//     QUrl index = sim.url("/cgi-bin/forum/webbbs_config.pl");
//     QUrl upload = sim.pictureUrl("/ASP/Bld_Anlegen.asp");
//
// Published posts and uploaded pictures go to a temporary data folder that
// lives as long as this object, so stop() and start() again find them (a
// restart); pass "--data DIR" to use another folder.

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

class ForumSim
{
public:
    ForumSim() = default;
    ForumSim(const ForumSim &) = delete;
    ForumSim &operator=(const ForumSim &) = delete;
    ~ForumSim() { stop(); }

    // Starts the simulator with "--port 0 --picture-port 0", a temporary
    // "--data" folder and `extraArgs` (which may name their own port or data
    // folder), and waits until it reports both addresses (and, with
    // --large-thread, the thread's path).
    bool start(QStringList extraArgs = {}, int timeoutMs = 10000)
    {
        stop();
        m_port = 0;
        m_picturePort = 0;
        m_largeThreadPath.clear();
        m_error.clear();
        const bool large = hasOption(extraArgs, QStringLiteral("--large-thread"));
        QStringList args = extraArgs;
        if (!hasOption(extraArgs, QStringLiteral("--port")))
            args = QStringList{QStringLiteral("--port"), QStringLiteral("0")} + args;
        if (!hasOption(extraArgs, QStringLiteral("--picture-port")))
            args += {QStringLiteral("--picture-port"), QStringLiteral("0")};
        if (!hasOption(extraArgs, QStringLiteral("--data"))) {
            if (!m_dataDir) {
                m_dataDir = std::make_unique<QTemporaryDir>();
                if (!m_dataDir->isValid()) {
                    m_error = QStringLiteral("cannot create a temporary data folder");
                    m_dataDir.reset();
                    return false;
                }
            }
            args += {QStringLiteral("--data"), m_dataDir->path()};
        }
        m_process.setProgram(QStringLiteral(TARNVIK_FORUMSIM_PATH));
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(timeoutMs)) {
            m_error = QStringLiteral("cannot start %1: %2").arg(m_process.program(), m_process.errorString());
            return false;
        }

        const QDeadlineTimer deadline(timeoutMs);
        // Any loopback address of "--bind"; 127.0.0.1 unless the suite names another.
        static const QRegularExpression forum(
            QStringLiteral("^tarnvik-forumsim listening on http://(127\\.\\d+\\.\\d+\\.\\d+):(\\d+)$"));
        static const QRegularExpression pictures(
            QStringLiteral("^picture server listening on http://127\\.\\d+\\.\\d+\\.\\d+:(\\d+)$"));
        const QString first = readLine(deadline);
        const QString second = readLine(deadline);
        const QRegularExpressionMatch forumMatch = forum.match(first);
        const QRegularExpressionMatch picturesMatch = pictures.match(second);
        if (!forumMatch.hasMatch() || !picturesMatch.hasMatch()) {
            m_error = QStringLiteral("unexpected first lines \"%1\", \"%2\"; stderr: %3")
                          .arg(first, second, QString::fromLocal8Bit(m_process.readAllStandardError()));
            stop();
            return false;
        }
        m_address = forumMatch.captured(1);
        m_port = forumMatch.captured(2).toUShort();
        m_picturePort = picturesMatch.captured(1).toUShort();
        if (large) {
            const QString third = readLine(deadline);
            const QString prefix = QStringLiteral("large thread: ");
            if (!third.startsWith(prefix)) {
                m_error = QStringLiteral("unexpected third line \"%1\"").arg(third);
                stop();
                return false;
            }
            m_largeThreadPath = third.mid(prefix.size());
        }
        return true;
    }

    // Ends the simulator with SIGTERM (killing it if it does not go) and
    // returns its exit code, or -1 if it was not running or crashed.
    int stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return -1;
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
            return -1;
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 processId() const { return m_process.processId(); }
    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("%1:%2").arg(m_address).arg(m_port); }
    QUrl baseUrl() const { return QUrl(QStringLiteral("http://") + host()); }
    QUrl url(const QString &path) const { return baseUrl().resolved(QUrl(path)); }
    // The picture server, as the seeded threads' picture addresses name it
    // (unless the suite passed --picture-host).
    quint16 picturePort() const { return m_picturePort; }
    QString pictureHost() const { return QStringLiteral("%1:%2").arg(m_address).arg(m_picturePort); }
    QUrl pictureUrl(const QString &path) const
    {
        return QUrl(QStringLiteral("http://") + pictureHost()).resolved(QUrl(path));
    }
    // Path of the large thread's whole-thread page, "#N" included.
    QString largeThreadPath() const { return m_largeThreadPath; }
    // The temporary data folder; empty when the suite passed its own.
    QString dataPath() const { return m_dataDir ? m_dataDir->path() : QString(); }
    // What the simulator wrote to stderr so far (skipped records, ...).
    QString readStandardError() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }
    QString errorString() const { return m_error; }

private:
    static bool hasOption(const QStringList &args, const QString &name)
    {
        return args.contains(name) || !args.filter(QRegularExpression(QLatin1Char('^') + name + QLatin1Char('='))).isEmpty();
    }

    QString readLine(const QDeadlineTimer &deadline)
    {
        while (!m_process.canReadLine() && !deadline.hasExpired()
               && m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(int(qBound(qint64(1), deadline.remainingTime(), qint64(1000))));
        }
        if (!m_process.canReadLine())
            return {};
        return QString::fromUtf8(m_process.readLine(4096)).trimmed();
    }

    QProcess m_process;
    std::unique_ptr<QTemporaryDir> m_dataDir;
    QString m_address = QStringLiteral("127.0.0.1");
    quint16 m_port = 0;
    quint16 m_picturePort = 0;
    QString m_largeThreadPath;
    QString m_error;
};
