#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The office's processes as the system sees them: started with the
// program's pipe, found again by it, and ended. The office now and then
// hangs in its own shutdown after it was asked to quit; an office the
// program started and that holds no document is then ended outright, so
// that the next export can start a fresh one on the same pipe.
namespace tarnvik::word {

struct OfficeOptions;

// The office's command line for `options`: no logo, no restore, no start
// centre, the profile and the pipe ("--accept=pipe,name=…"), and without
// windows when `options.headless`.
QStringList officeArguments(const OfficeOptions &options);

// The environment a started office gets from `system`: a UTF-8 character
// type, without which it cannot open files whose paths hold umlauts, and
// none of the program's own bootstrap settings.
QProcessEnvironment officeEnvironment(const QProcessEnvironment &system);

// Starts the office for `options` detached from the program, its standard
// channels on the null device; its process id, or 0 when it cannot be
// started.
qint64 launchOffice(const OfficeOptions &options);

// Whether process `pid` still runs.
bool processRuns(qint64 pid);

// Processes whose command line accepts UNO links on `pipe` (the launcher
// and the office itself). A `parent` other than 0 keeps only that process
// and its children. Empty where the system does not list its processes.
QList<qint64> officeProcesses(const QString &pipe, qint64 parent = 0);

// Waits up to `waitMs` for those processes to end, then kills the ones
// left; true when none is left.
bool endOfficeProcesses(const QString &pipe, qint64 parent, int waitMs);

// Whether the office listening on `pipe` runs in the desktop session the
// program runs in (see sessionPipeName). A second office on the user's
// profile hands its pipe to the one running already, which may belong to
// another session of the user: its documents are not this session's. True
// where the system does not tell.
bool officeInThisSession(const QString &pipe);

// The lock file the office keeps beside a document it has open
// (".~lock.<name>#"). An office that is killed leaves it behind, and the
// next office to open the document takes it as open elsewhere.
QString documentLockFile(const QString &document);

} // namespace tarnvik::word
