#include "export/WordConnection.h"

#include "export/FileNames.h"
#include "export/WordOffice.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <cmath>
#include <mutex>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// What both builds share: the options, the document's file name, and the
// worker thread that keeps the office phase off the UI thread.

namespace tarnvik::word {

namespace {
std::mutex optionsMutex;
OfficeOptions *currentOptions = nullptr; // set on first use; never freed

// The worker of the running office phase; only touched on the UI thread.
QThread *worker = nullptr;
std::atomic<bool> busy{false};

bool hasDisplay()
{
#ifdef Q_OS_UNIX
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
#endif
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

// Runs `f` on the thread of the application object (the UI thread), or at
// once when there is none.
template <typename F>
void onUiThread(F &&f)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::forward<F>(f), Qt::QueuedConnection);
    else
        f();
}

void joinFinishedWorker()
{
    if (worker) {
        worker->wait();
        delete worker;
        worker = nullptr;
    }
}
} // namespace

QString sessionPipeName(const QString &user, const QProcessEnvironment &environment)
{
    QByteArray session;
    for (const char *name : {"XDG_SESSION_ID", "DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "SESSIONNAME"}) {
        if (const QString value = environment.value(QLatin1String(name)); !value.isEmpty())
            session += name + QByteArray("=") + value.toUtf8() + '\n';
    }
    const QString pipe = QStringLiteral("tarnvik_") + user;
    if (session.isEmpty())
        return pipe;
    return pipe + QLatin1Char('_')
           + QString::fromLatin1(QCryptographicHash::hash(session, QCryptographicHash::Sha256).toHex().left(12));
}

OfficeOptions OfficeOptions::defaults()
{
    OfficeOptions options;
#ifdef Q_OS_UNIX
    const QString user = QString::number(::getuid());
#else
    const QString user = QString::fromLatin1(qEnvironmentVariable("USERNAME").toUtf8().toHex());
#endif
    options.pipeName = sessionPipeName(user, QProcessEnvironment::systemEnvironment());
    options.headless = !hasDisplay();
    return options;
}

void setOfficeOptions(const OfficeOptions &options)
{
    std::lock_guard lock(optionsMutex);
    if (!currentOptions)
        currentOptions = new OfficeOptions(options);
    else
        *currentOptions = options;
}

OfficeOptions officeOptions()
{
    std::lock_guard lock(optionsMutex);
    if (!currentOptions)
        currentOptions = new OfficeOptions(OfficeOptions::defaults());
    return *currentOptions;
}

QString unavailableMessage()
{
    return QStringLiteral("Die Textverarbeitung (LibreOffice Writer) ist nicht installiert.");
}

bool isSafeDocumentTitle(const QString &title)
{
    // toValidFileName changes nothing more in a name it made, and never
    // gives an empty one.
    return !title.isEmpty() && toValidFileName(title) == title;
}

QString documentFilePath(const QString &folder, const QString &title, int targetIndex)
{
    // A relative folder would put the document wherever the program runs.
    if (!QDir::isAbsolutePath(folder))
        return {};
    if (targetIndex > 0)
        return QDir(folder).filePath(QStringLiteral("Temp.doc"));
    if (!isSafeDocumentTitle(title))
        return {};
    return QDir(folder).filePath(title + QStringLiteral(".doc"));
}

QSize narrowedPictureSize(QSize size)
{
    constexpr int limit = 17500;
    if (size.width() <= limit)
        return size;
    return {limit, int(std::lround(double(size.height()) * limit / size.width()))};
}

} // namespace tarnvik::word

void BuildWordDocument(const QString &folder, const QString &htmlFile, const QString &title, int targetIndex,
                       bool picturesFound, int picturesFetched, WordBuildFinished finished, WordBuildStage stage)
{
    using namespace tarnvik::word;
    if (busy.exchange(true)) {
        WordBuildResult result;
        result.error = QStringLiteral("Die Textverarbeitung erstellt gerade ein anderes Dokument.");
        onUiThread([finished = std::move(finished), result] {
            if (finished)
                finished(result);
        });
        return;
    }
    joinFinishedWorker();
    auto reportStage = [stage = std::move(stage)](const QString &text) {
        if (stage)
            onUiThread([stage, text] { stage(text); });
    };
    worker = QThread::create([=, finished = std::move(finished)] {
        const WordBuildResult result =
            buildDocumentNow(folder, htmlFile, title, targetIndex, picturesFound, picturesFetched, reportStage);
        onUiThread([finished, result] {
            busy = false;
            if (finished)
                finished(result);
        });
    });
    worker->setObjectName(QStringLiteral("Office phase"));
    worker->start();
}

void ReleaseWordConnections()
{
    // An office phase still running finishes first: its links go with it.
    tarnvik::word::joinFinishedWorker();
    tarnvik::word::detail::releaseConnections();
}
