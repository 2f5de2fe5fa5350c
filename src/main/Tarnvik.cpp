#include "archive/Archive.h"
#include "archive/ArchiveFeature.h"
#include "browser/EngineSetup.h"
#include "browser/WebEngineHost.h"
#include "export/WordConnection.h"
#include "main/Dialogs.h"
#include "main/Main.h"
#include "periphery/ZLibBMPRegistration.h"
#include "state/DModul.h"
#include "state/Database.h"
#include "state/MenuAccessibility.h"
#include "watch/CheckSchedule.h"
#include "watch/WatchUi.h"

#include <QApplication>
#include <QIcon>
#include <QSettings>


int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName(QStringLiteral("Tarnvik"));
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(TARNVIK_APP_ID));
    QApplication::setWindowIcon(
        QIcon(QStringLiteral(":/icons/app/" TARNVIK_APP_ID ".svg")));
    // The program speaks German, and so do Qt's dialogs and the engine's
    // menus and error pages.
    tarnvik::engine::setUpGerman(app);
    tarnvik::registerZbmFormat();
    tarnvik::installStandardErrorReport();
    tarnvik::installMenuAccessibility();

    int result = 0;
    {
        // The main window comes first, so it is the application's main
        // window; the data module second, which loads the settings.
        TfrmMain frmMain;
        TDM dataModule;
        DM = &dataModule;
        // The settings of the two features below, read once.
        const std::unique_ptr<QSettings> settings = TDMEnvironment::platform().openSettings();
        // Watched threads: the toolbar actions, the checks and the notifications.
        frmMain.attachWatch(new tarnvik::watch::WatchUi(
            &frmMain, frmMain.WebBrowser(), [] { return DM ? DM->PageTitle : QString(); },
            {tarnvik::Database::defaultPath(),
             tarnvik::watch::checkInterval(settings->value(QStringLiteral("Beobachten/Minuten")),
                                           QCoreApplication::arguments())}));
        // The archive keeps the whole threads shown and exported; F9 searches it.
        const QString work = DM->WorkPath();
        tarnvik::archive::ArchiveFeature archive(
            &frmMain, frmMain.WebBrowser(),
            {tarnvik::Database::defaultPath(), work.isEmpty() ? work : work + QStringLiteral("Archivansicht/"),
             tarnvik::archive::keepReadSetting(*settings), [] { return DM ? DM->PicturesPath() : QString(); }});
        frmMain.attachArchive(&archive);
        frmMain.showMaximized();
        frmMain.activateWindow();
        result = app.exec();
        // Leaving this block destroys the data module, which writes the
        // changed settings back.
    }
    ReleaseWordConnections();
    return result;
}
