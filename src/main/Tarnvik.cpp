#include "browser/WebEngineHost.h"
#include "main/Dialogs.h"
#include "main/Main.h"
#include "export/WordConnection.h"
#include "periphery/ZLibBMPRegistration.h"
#include "state/DModul.h"

#include <QApplication>


int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName(QStringLiteral("Tarnvik"));
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
        result = app.exec();
        // Leaving this block destroys the data module, which writes the
        // changed settings back.
    }
    ReleaseWordConnections();
    return result;
}
