#include "browser/EngineSetup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWebEngineProfile>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tarnvik::engine {

namespace {
const char kDisableVariable[] = "QTWEBENGINE_DISABLE_SANDBOX";
const char kFlagsVariable[] = "QTWEBENGINE_CHROMIUM_FLAGS";

bool asksForNoSandbox(const QByteArray &disableVariable)
{
    const QByteArray value = disableVariable.trimmed();
    return !value.isEmpty() && value != "0";
}
} // namespace

SandboxDecision decideSandbox(unsigned effectiveUser, const QByteArray &disableVariable,
                              const QByteArray &chromiumFlags)
{
    SandboxDecision decision;
    if (effectiveUser == 0) {
        decision.sandboxed = false;
        decision.disableVariable = "1";
        decision.chromiumFlags = chromiumFlags;
        decision.notice = QStringLiteral("Tarnvik läuft als root: die Browser-Engine läuft ohne Sandbox.");
        return decision;
    }
    // The flags stay as they are but for the ones that switch the sandbox off.
    QList<QByteArray> kept;
    bool dropped = asksForNoSandbox(disableVariable);
    for (const QByteArray &flag : chromiumFlags.simplified().split(' ')) {
        if (flag.isEmpty())
            continue;
        if (flag == "--no-sandbox" || flag == "--disable-seccomp-filter-sandbox" || flag == "--disable-setuid-sandbox") {
            dropped = true;
            continue;
        }
        kept << flag;
    }
    decision.chromiumFlags = kept.join(' ');
    if (dropped)
        decision.notice = QStringLiteral("Die Browser-Engine behält ihre Sandbox: ohne Sandbox läuft sie nur für root.");
    return decision;
}

void applySandboxDecision()
{
#ifdef Q_OS_UNIX
    const unsigned user = geteuid();
#else
    const unsigned user = 1; // the sandbox question is Linux's alone
#endif
    const SandboxDecision decision = decideSandbox(user, qgetenv(kDisableVariable), qgetenv(kFlagsVariable));
    if (decision.disableVariable.isEmpty())
        qunsetenv(kDisableVariable);
    else
        qputenv(kDisableVariable, decision.disableVariable);
    if (decision.chromiumFlags.isEmpty())
        qunsetenv(kFlagsVariable);
    else
        qputenv(kFlagsVariable, decision.chromiumFlags);
    if (!decision.notice.isEmpty())
        std::fprintf(stderr, "tarnvik: %s\n", decision.notice.toLocal8Bit().constData());
}

QByteArray acceptLanguage()
{
    return QByteArrayLiteral("de-DE,de;q=0.9");
}

void setUpGerman(QCoreApplication &app)
{
    // The engine takes the language of its error pages from the default
    // locale at the moment it starts, whatever LANG says.
    const QLocale german(QLocale::German, QLocale::Germany);
    QLocale::setDefault(german);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // "qt" gathers Qt's own modules; the engine's context menu has its own.
    for (const char *catalogue : {"qt", "qtwebengine"}) {
        auto *translator = new QTranslator(&app);
        if (translator->load(german, QLatin1String(catalogue), QStringLiteral("_"), folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
    QWebEngineProfile::defaultProfile()->setHttpAcceptLanguage(QString::fromLatin1(acceptLanguage()));
}

} // namespace tarnvik::engine
