#include "main/Dialogs.h"

#include "state/ErrorReport.h"

#include <QApplication>
#include <QMessageBox>

namespace tarnvik {

void installStandardErrorReport()
{
    setErrorReporter([](const QString &text) {
        QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Tarnvik"), text);
    });
}

void showNotYetAvailable(QWidget *owner)
{
    QMessageBox::information(owner, QStringLiteral("Tarnvik"),
                             QStringLiteral("Diese Funktion ist in dieser Version noch nicht verfügbar."));
}

} // namespace tarnvik
