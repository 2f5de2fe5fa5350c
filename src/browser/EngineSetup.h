#pragma once

#include <QByteArray>
#include <QString>

class QCoreApplication;

// How the program sets up the browser engine: its sandbox, and German
// texts, error pages and Accept-Language.
namespace tarnvik::engine {

// What the process environment must say about the engine's sandbox.
// Chromium refuses its sandbox to the superuser, so only root runs without
// one; a normal user keeps it even when an old environment asks otherwise.
struct SandboxDecision {
    bool sandboxed = true;
    // The values QTWEBENGINE_DISABLE_SANDBOX and QTWEBENGINE_CHROMIUM_FLAGS
    // are to have; an empty `disableVariable` means unset.
    QByteArray disableVariable;
    QByteArray chromiumFlags;
    // One line for stderr, empty when there is nothing to say.
    QString notice;
};

SandboxDecision decideSandbox(unsigned effectiveUser, const QByteArray &disableVariable,
                              const QByteArray &chromiumFlags);

// Applies the decision for this process to its environment and says it on
// stderr. Runs before the application object exists.
void applySandboxDecision();

// German for the engine: the locale of its error pages, Qt's and the
// engine's translations (context menu, page actions) and the language the
// forum is asked for. Call after the application object exists and before
// the first WebEngine object (view, page or profile) is made.
void setUpGerman(QCoreApplication &app);

// The Accept-Language the engine sends.
QByteArray acceptLanguage();

} // namespace tarnvik::engine
