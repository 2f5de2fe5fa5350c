#include "browser/WebEngineHost.h"
#include "main/Dialogs.h"
#include "main/Main.h"
#include "export/WordConnection.h"
#include "periphery/ZLibBMPRegistration.h"
#include "state/DModul.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>


int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName(QStringLiteral("Tarnvik"));
    // The program speaks German, and so do Qt's own dialogs and buttons.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
    tarnvik::registerZbmFormat();
    tarnvik::installStandardErrorReport();

    int result = 0;
    {
        // The main window comes first, so it is the application's main
        // window; the data module second, which loads the settings.
        TfrmMain frmMain;
        TDM dataModule;
        DM = &dataModule;
        frmMain.showMaximized();
        frmMain.activateWindow();
        result = app.exec();
        // Leaving this block destroys the data module, which writes the
        // changed settings back.
    }
    ReleaseWordConnections();
    return result;
}
