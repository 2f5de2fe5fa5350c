#include "export/OfficeLifetime.h"

#include "export/OfficeProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace tarnvik::word {

namespace {

// A lock file holds one line of names, a date and a profile address.
constexpr qint64 kMaxLockFile = 4096;

QByteArray lockContent(const QString &file)
{
    QFile lock(file);
    return lock.open(QIODevice::ReadOnly) ? lock.read(kMaxLockFile) : QByteArray();
}

} // namespace

css::uno::Reference<css::uno::XComponentContext> startOffice(const OfficeOptions &options, StartedOffice &started)
{
    const qint64 pid = launchOffice(options);
    if (pid == 0)
        throw WordError{unavailableMessage(), true};

    // A second office on a profile already in use hands its --accept to the
    // running one and ends: then the office is not the program's own.
    QElapsedTimer clock;
    clock.start();
    qint64 endedAt = -1;
    for (;;) {
        if (css::uno::Reference<css::uno::XComponentContext> context = resolveOffice(options.pipeName); context.is()) {
            started = processRuns(pid) ? StartedOffice{pid, options.pipeName, {}} : StartedOffice{};
            return context;
        }
        if (endedAt < 0 && !processRuns(pid))
            endedAt = clock.elapsed();
        if (endedAt >= 0 && clock.elapsed() - endedAt > 3000)
            throw WordError{QStringLiteral("Die Textverarbeitung (LibreOffice Writer) hat sich gleich nach dem "
                                           "Start wieder beendet.")};
        if (clock.elapsed() > options.startTimeoutMs)
            throw WordError{QStringLiteral("Die Textverarbeitung (LibreOffice Writer) hat nach dem Start nicht "
                                           "rechtzeitig geantwortet.")};
        QThread::msleep(100);
    }
}

bool stillRuns(const StartedOffice &started)
{
    return started.isSet() && started.pipe == officeOptions().pipeName && processRuns(started.pid);
}

void quitOffice(css::uno::Reference<css::frame::XDesktop2> desktop, const StartedOffice &started)
{
    try {
        desktop->terminate();
    } catch (...) {
        // The bridge may die before the office answers.
    }
    desktop.clear();
    // An office that hangs on its way out would keep the pipe's name and
    // its profile from the next export; it holds no document.
    endOfficeProcesses(started.pipe, started.pid, 5000);
}

void noteOpenDocument(StartedOffice &started, const QString &document)
{
    const QString file = documentLockFile(document);
    started.locks.removeIf([&](const StartedOffice::Lock &lock) { return lock.file == file; });
    if (const QByteArray content = lockContent(file); !content.isEmpty())
        started.locks.append({file, content});
}

void clearLeftovers(const StartedOffice &started)
{
    for (const StartedOffice::Lock &lock : started.locks) {
        // The user may have opened the document since in an office of their own.
        if (lockContent(lock.file) == lock.content)
            QFile::remove(lock.file);
    }
}

} // namespace tarnvik::word
