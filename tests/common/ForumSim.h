#pragma once

// Starts tarnvik-forumsim on a free loopback port for one test suite and stops
// it again. Suites include it as "common/ForumSim.h" (tests/ is on their
// include path) and need TARNVIK_FORUMSIM_PATH, which tarnvik_add_test defines.
//
//     ForumSim sim;
//     QVERIFY2(sim.start(), qPrintable(sim.errorString()));
//     QUrl index = sim.baseUrl().resolved(QUrl("/cgi-bin/forum/webbbs_config.pl"));

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QUrl>

class ForumSim
{
public:
    ForumSim() = default;
    ForumSim(const ForumSim &) = delete;
    ForumSim &operator=(const ForumSim &) = delete;
    ~ForumSim() { stop(); }

    // Starts the simulator with "--port 0" and `extraArgs`, and waits until it
    // reports its address (and, with --large-thread, the thread's path).
    bool start(QStringList extraArgs = {}, int timeoutMs = 10000)
    {
        stop();
        m_port = 0;
        m_largeThreadPath.clear();
        m_error.clear();
        const bool large = extraArgs.contains(QStringLiteral("--large-thread"))
                           || !extraArgs.filter(QStringLiteral("--large-thread=")).isEmpty();
        m_process.setProgram(QStringLiteral(TARNVIK_FORUMSIM_PATH));
        m_process.setArguments(QStringList{QStringLiteral("--port"), QStringLiteral("0")} + extraArgs);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(timeoutMs)) {
            m_error = QStringLiteral("cannot start %1: %2").arg(m_process.program(), m_process.errorString());
            return false;
        }

        const QDeadlineTimer deadline(timeoutMs);
        const QString first = readLine(deadline);
        static const QRegularExpression listening(
            QStringLiteral("^tarnvik-forumsim listening on http://127\\.0\\.0\\.1:(\\d+)$"));
        const QRegularExpressionMatch match = listening.match(first);
        if (!match.hasMatch()) {
            m_error = QStringLiteral("unexpected first line \"%1\"; stderr: %2")
                          .arg(first, QString::fromLocal8Bit(m_process.readAllStandardError()));
            stop();
            return false;
        }
        m_port = match.captured(1).toUShort();
        if (large) {
            const QString second = readLine(deadline);
            const QString prefix = QStringLiteral("large thread: ");
            if (!second.startsWith(prefix)) {
                m_error = QStringLiteral("unexpected second line \"%1\"").arg(second);
                stop();
                return false;
            }
            m_largeThreadPath = second.mid(prefix.size());
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
    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QUrl baseUrl() const { return QUrl(QStringLiteral("http://") + host()); }
    QUrl url(const QString &path) const { return baseUrl().resolved(QUrl(path)); }
    // Path of the large thread's whole-thread page, "#N" included.
    QString largeThreadPath() const { return m_largeThreadPath; }
    QString errorString() const { return m_error; }

private:
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
    quint16 m_port = 0;
    QString m_largeThreadPath;
    QString m_error;
};
