#include "export/OfficeProcess.h"

#include "export/WordConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace tarnvik::word {
namespace {

// /proc entries are small; a bound keeps a strange one from costing much.
constexpr qint64 kMaxProcEntry = 64 * 1024;

QByteArray procEntry(qint64 pid, const char *entry)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(entry)));
    return file.open(QIODevice::ReadOnly) ? file.read(kMaxProcEntry) : QByteArray();
}

#ifdef Q_OS_LINUX
// The processes the system lists, by id.
QList<qint64> listedProcesses()
{
    QList<qint64> pids;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        if (const qint64 pid = entry.toLongLong(&number); number)
            pids << pid;
    }
    return pids;
}
#endif

// The parent in /proc/<pid>/stat: the fourth field, counted after the
// command name in parentheses (which may itself hold blanks).
qint64 parentOf(const QByteArray &stat)
{
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = stat.mid(close + 1).simplified().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() : 0;
}

// The office's pipe is a local socket "OSL_PIPE_<uid>_<pipe>" in the
// temporary folder; the system's socket table names its inode.
QByteArray pipeSocketInode(const QString &pipe)
{
#ifdef Q_OS_LINUX
    QFile table(QStringLiteral("/proc/net/unix"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    const QByteArray suffix = QStringLiteral("/OSL_PIPE_%1_%2").arg(::getuid()).arg(pipe).toUtf8();
    // The file tells no size: read until a line comes back empty.
    for (int lines = 0; lines < 100000; ++lines) {
        const QByteArray line = table.readLine(4096);
        if (line.isEmpty())
            break;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 8 && fields.at(7).endsWith(suffix))
            return fields.at(6);
    }
#else
    Q_UNUSED(pipe);
#endif
    return {};
}

// The office process that holds the socket `inode`; 0 when none is found.
qint64 socketHolder(const QByteArray &inode)
{
#ifdef Q_OS_LINUX
    const QByteArray target = "socket:[" + inode + ']';
    for (const qint64 pid : listedProcesses()) {
        if (!procEntry(pid, "cmdline").contains("soffice"))
            continue;
        const QString fds = QStringLiteral("/proc/%1/fd/").arg(pid);
        for (const QString &fd : QDir(fds).entryList(QDir::System | QDir::NoDotAndDotDot)) {
            char link[64];
            const ssize_t length = ::readlink(QFile::encodeName(fds + fd).constData(), link, sizeof link);
            if (length > 0 && QByteArray(link, length) == target)
                return pid;
        }
    }
#else
    Q_UNUSED(inode);
#endif
    return 0;
}

// What a process's environment says of its desktop session.
QProcessEnvironment environmentOf(qint64 pid)
{
    QProcessEnvironment environment;
    for (const QByteArray &variable : procEntry(pid, "environ").split('\0')) {
        if (const qsizetype eq = variable.indexOf('='); eq > 0)
            environment.insert(QString::fromUtf8(variable.left(eq)), QString::fromUtf8(variable.mid(eq + 1)));
    }
    return environment;
}

bool isUtf8(const QString &locale)
{
    const QString l = locale.toLower();
    return l.contains(QLatin1String("utf-8")) || l.contains(QLatin1String("utf8"));
}

} // namespace

QStringList officeArguments(const OfficeOptions &options)
{
    QStringList arguments;
    if (options.headless)
        arguments << QStringLiteral("--headless") << QStringLiteral("--invisible");
    arguments << QStringLiteral("--nologo") << QStringLiteral("--norestore") << QStringLiteral("--nodefault")
              << QStringLiteral("--nolockcheck");
    if (!options.profileFolder.isEmpty())
        arguments << QStringLiteral("-env:UserInstallation=")
                         + QUrl::fromLocalFile(QDir(options.profileFolder).absolutePath()).toString(QUrl::FullyEncoded);
    arguments << QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(options.pipeName);
    return arguments;
}

QProcessEnvironment officeEnvironment(const QProcessEnvironment &system)
{
    QProcessEnvironment env = system;
    // Our own bootstrap setting is not the office's business.
    if (env.value(QStringLiteral("URE_BOOTSTRAP")).endsWith(QLatin1String("/fundamentalrc")))
        env.remove(QStringLiteral("URE_BOOTSTRAP"));
    const QString all = env.value(QStringLiteral("LC_ALL"));
    const QString ctype = env.value(QStringLiteral("LC_CTYPE"));
    const QString lang = env.value(QStringLiteral("LANG"));
    const QString effective = !all.isEmpty() ? all : !ctype.isEmpty() ? ctype : lang;
    if (!isUtf8(effective)) {
        if (!all.isEmpty()) {
            // Keep the user's choice for everything but the character type.
            env.remove(QStringLiteral("LC_ALL"));
            env.insert(QStringLiteral("LANG"), all);
        }
        env.insert(QStringLiteral("LC_CTYPE"), QStringLiteral("C.UTF-8"));
    }
    return env;
}

qint64 launchOffice(const OfficeOptions &options)
{
    QProcess process;
    process.setProgram(options.program.isEmpty() ? QStringLiteral(TARNVIK_OFFICE_PROGRAM_DIR "/soffice")
                                                 : options.program);
    process.setArguments(officeArguments(options));
    process.setProcessEnvironment(officeEnvironment(QProcessEnvironment::systemEnvironment()));
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    return process.startDetached(&pid) ? pid : 0;
}

bool processRuns(qint64 pid)
{
#ifdef Q_OS_UNIX
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
#else
    return pid > 0;
#endif
}

QList<qint64> officeProcesses(const QString &pipe, qint64 parent)
{
    QList<qint64> found;
#ifdef Q_OS_LINUX
    const QByteArray needle = QStringLiteral("pipe,name=%1;").arg(pipe).toUtf8();
    const qint64 self = QCoreApplication::applicationPid();
    for (const qint64 pid : listedProcesses()) {
        if (pid == self)
            continue;
        if (parent != 0 && pid != parent && parentOf(procEntry(pid, "stat")) != parent)
            continue;
        if (procEntry(pid, "cmdline").contains(needle))
            found << pid;
    }
#else
    Q_UNUSED(pipe);
    Q_UNUSED(parent);
#endif
    return found;
}

bool endOfficeProcesses(const QString &pipe, qint64 parent, int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    QList<qint64> left = officeProcesses(pipe, parent);
    while (!left.isEmpty() && clock.elapsed() < waitMs) {
        QThread::msleep(100);
        left = officeProcesses(pipe, parent);
    }
#ifdef Q_OS_UNIX
    // The office first, so that its launcher does not start it again.
    for (auto it = left.crbegin(); it != left.crend(); ++it)
        ::kill(pid_t(*it), SIGKILL);
    clock.restart();
    while (!left.isEmpty() && clock.elapsed() < 5000) {
        QThread::msleep(50);
        left = officeProcesses(pipe, parent);
    }
#endif
    return left.isEmpty();
}

bool officeInThisSession(const QString &pipe)
{
    const QByteArray inode = pipeSocketInode(pipe);
    const qint64 office = inode.isEmpty() ? 0 : socketHolder(inode);
    const QProcessEnvironment environment = office ? environmentOf(office) : QProcessEnvironment();
    if (environment.isEmpty())
        return true;
    return sessionPipeName(QString(), environment) == sessionPipeName(QString(), QProcessEnvironment::systemEnvironment());
}

QString documentLockFile(const QString &document)
{
    const QFileInfo info(document);
    return info.absoluteDir().filePath(QStringLiteral(".~lock.") + info.fileName() + QLatin1Char('#'));
}

} // namespace tarnvik::word
