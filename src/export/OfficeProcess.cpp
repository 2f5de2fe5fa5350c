#include "export/OfficeProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/types.h>
#endif

namespace tarnvik::word {
namespace {

// /proc entries are small; a bound keeps a strange one from costing much.
constexpr qint64 kMaxProcEntry = 64 * 1024;

QByteArray procEntry(const QString &pid, const char *entry)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid, QLatin1String(entry)));
    return file.open(QIODevice::ReadOnly) ? file.read(kMaxProcEntry) : QByteArray();
}

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

} // namespace

QList<qint64> officeProcesses(const QString &pipe, qint64 parent)
{
    QList<qint64> found;
#ifdef Q_OS_LINUX
    const QByteArray needle = QStringLiteral("pipe,name=%1;").arg(pipe).toUtf8();
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == self)
            continue;
        if (parent != 0 && pid != parent && parentOf(procEntry(entry, "stat")) != parent)
            continue;
        if (procEntry(entry, "cmdline").contains(needle))
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

} // namespace tarnvik::word
