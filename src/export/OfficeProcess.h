#pragma once

#include <QList>
#include <QString>

// The office's processes as the system lists them. The office now and then
// hangs in its own shutdown after it was asked to quit; an office the
// program started and that holds no document is then ended outright, so
// that the next export can start a fresh one on the same pipe.
namespace tarnvik::word {

// Processes whose command line accepts UNO links on `pipe` (the launcher
// and the office itself). A `parent` other than 0 keeps only that process
// and its children. Empty where the system does not list its processes.
QList<qint64> officeProcesses(const QString &pipe, qint64 parent = 0);

// Waits up to `waitMs` for those processes to end, then kills the ones
// left; true when none is left.
bool endOfficeProcesses(const QString &pipe, qint64 parent, int waitMs);

} // namespace tarnvik::word
