#pragma once

// Starting the office on the program's pipe and ending the one the program
// started. Only for translation units built with the LibreOffice SDK.

#include "export/OfficeUno.h"
#include "export/WordConnection.h"

#include <QByteArray>
#include <QList>

namespace tarnvik::word {

// The office the program started itself, as long as it runs: only that one
// may be quit, and only its leftovers are cleared away.
struct StartedOffice {
    qint64 pid = 0;
    QString pipe;
    // The lock files beside the documents the program left open in it, with
    // what the office wrote into them: a killed office leaves them behind.
    struct Lock {
        QString file;
        QByteArray content;
    };
    QList<Lock> locks;

    bool isSet() const { return pid != 0; }
};

// Starts an office for `options` and waits until it answers on its pipe.
// `started` names it when it is the program's own (a second office on a
// profile in use hands its pipe to the running one and ends). Throws
// WordError.
css::uno::Reference<css::uno::XComponentContext> startOffice(const OfficeOptions &options, StartedOffice &started);

// Whether `started` is the office on the program's pipe now and still runs.
bool stillRuns(const StartedOffice &started);

// Quits the office `started` through `desktop` (the caller's links already
// released), and ends it outright should it hang on its way out. Only for
// an office that holds no document: quitting discards what is open without
// asking. Never throws.
void quitOffice(css::uno::Reference<css::frame::XDesktop2> desktop, const StartedOffice &started);

// Notes the lock file the office keeps beside `document`, which the
// program leaves open in `started`.
void noteOpenDocument(StartedOffice &started, const QString &document);

// Removes the lock files that `started`, now gone, left beside the
// documents the program had open in it; a lock file that is not the one
// the office wrote there is left alone.
void clearLeftovers(const StartedOffice &started);

} // namespace tarnvik::word
