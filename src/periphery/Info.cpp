#include "periphery/Info.h"

#include "state/DialogFont.h"
#include "ui_Info.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QUrl>

namespace {

const QString kAuthor = QStringLiteral("Tarnvik-Team");
const QString kAuthorMail = QStringLiteral("tarnvik@example.org");

// One entry per line; the blanks at the end of some lines belong to them.
const QStringList &changeHistory()
{
    static const QStringList lines{
        QStringLiteral("10.03.2009"),
        QStringLiteral("* Externe Bilderlinks"),
        QStringLiteral("* Breite und Höhe von Bildern"),
        QString(),
        QStringLiteral("09.03.2009"),
        QStringLiteral("* maskierte Links"),
        QStringLiteral("* Hoch- und tiefstellen von Zeichen"),
        QString(),
        QStringLiteral("08.03.2009"),
        QStringLiteral("* Öffnen Speichern von Beitragsentwürfen im Editor"),
        QStringLiteral("* Das Verzeichnis für den Datenexport kann als "),
        QStringLiteral("Einstellung frei gewählt werden"),
        QStringLiteral("* Info-Dialog um Änderungshistorie erweitert."),
        QStringLiteral("* Text kopieren aus Browserfenster nun möglich"),
        QStringLiteral("* Return/Enter Taste funktioniert jetzt im Eingabefeld "),
        QStringLiteral("für Antworttext."),
        QStringLiteral("* Tastenkombinationen unter Schaltflächen PDF-"),
        QStringLiteral("Anleitung geschrieben"),
        QString(),
        QStringLiteral("06.03.2009"),
        QStringLiteral("*Fehler beim Antworten auf Beiträge im "),
        QStringLiteral("Handwerkzeugforum korrigiert."),
    };
    return lines;
}

} // namespace

void OpenInfoDialog(QWidget *owner)
{
    QPointer<TfrmInfo> dialog = new TfrmInfo(owner);
    dialog->exec();
    delete dialog;
}

TfrmInfo::TfrmInfo(QWidget *parent)
    : QDialog(parent), ui(new Ui::TfrmInfo)
{
    tarnvik::substituteDialogFont();
    ui->setupUi(this);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(315, 258);

    // The static texts read light green on a dark ground, sunk into the
    // window; light green on the window's own grey would be barely legible.
    for (QLabel *text : {ui->stVersion, ui->stAuthor, ui->LeMail}) {
        QPalette palette = text->palette();
        palette.setColor(QPalette::WindowText, QColor(0x80, 0xff, 0x80));
        palette.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
        text->setPalette(palette);
        text->setAutoFillBackground(true);
    }
    ui->stAuthor->setText(kAuthor);
    ui->LeMail->setText(QLatin1Char(' ') + kAuthorMail + QStringLiteral("   (KIick)"));
    ui->LeMail->installEventFilter(this);
    ui->Memo->setPlainText(changeHistory().join(QLatin1Char('\n')));

    // Centred on the screen, not over the owner.
    QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));

    ui->btnClose->setFocus();
}

TfrmInfo::~TfrmInfo()
{
    delete ui;
}

void TfrmInfo::LeMailClick()
{
    // Whether a mail program answers is not looked at.
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + kAuthorMail + QStringLiteral("?subject=Tarnvik")));
}

bool TfrmInfo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->LeMail) {
        switch (event->type()) {
        case QEvent::MouseButtonRelease: {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton && ui->LeMail->rect().contains(mouse->position().toPoint())) {
                LeMailClick();
                return true;
            }
            break;
        }
        case QEvent::KeyPress: {
            // Reached with Tab, the link opens with Space or Enter as well.
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
                LeMailClick();
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
