// The info dialog: its texts, the change history line by line and the mail
// link, caught before it reaches a mail program.
#include "periphery/Info.h"
#include "ui_Info.h"

#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QtTest>

// Stands in for the desktop's mail handler.
class MailCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }
};

class TestInfo : public QObject
{
    Q_OBJECT
    MailCatcher m_mail;

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &m_mail, "open");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("mailto")); }
    void init() { m_mail.urls.clear(); }

    void showsVersionAuthorAndCaption()
    {
        TfrmInfo dialog;
        Ui::TfrmInfo *ui = dialog.controls();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Info zum Tarnvik"));
        QCOMPARE(ui->stVersion->text(), QStringLiteral("0.6 Beta vom 10.03.2009"));
        QCOMPARE(ui->stAuthor->text(), QStringLiteral("Tarnvik-Team"));
        QCOMPARE(ui->LeMail->text(), QStringLiteral(" tarnvik@example.org   (KIick)"));
        QCOMPARE(ui->LeMail->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(ui->lblHistory->text(), QStringLiteral("Änderungshistorie:"));
        QCOMPARE(ui->btnClose->text(), QStringLiteral("Schliessen"));
        QVERIFY(ui->btnClose->isDefault());
        QVERIFY(ui->Memo->isReadOnly());
        QCOMPARE(dialog.size(), QSize(315, 258));
    }

    // The static texts are shown whole in the fixed window.
    void textsFitTheWindow()
    {
        TfrmInfo dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Ui::TfrmInfo *ui = dialog.controls();
        for (QLabel *label : {ui->lblVersion, ui->stVersion, ui->lblAuthor, ui->stAuthor, ui->lblEMail, ui->LeMail})
            QVERIFY2(label->minimumSizeHint().width() <= label->width(), qPrintable(label->objectName()));
    }

    void historyHasTheListedLines()
    {
        TfrmInfo dialog;
        const QStringList expected{
            "10.03.2009", "* Externe Bilderlinks", "* Breite und Höhe von Bildern", "", "09.03.2009",
            "* maskierte Links", "* Hoch- und tiefstellen von Zeichen", "", "08.03.2009",
            "* Öffnen Speichern von Beitragsentwürfen im Editor", "* Das Verzeichnis für den Datenexport kann als ",
            "Einstellung frei gewählt werden", "* Info-Dialog um Änderungshistorie erweitert.",
            "* Text kopieren aus Browserfenster nun möglich",
            "* Return/Enter Taste funktioniert jetzt im Eingabefeld ", "für Antworttext.",
            "* Tastenkombinationen unter Schaltflächen PDF-", "Anleitung geschrieben", "", "06.03.2009",
            "*Fehler beim Antworten auf Beiträge im ", "Handwerkzeugforum korrigiert."};
        QCOMPARE(dialog.controls()->Memo->toPlainText().split(QLatin1Char('\n')), expected);
    }

    void mailLinkOpensTheMailProgram_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("click") << QStringLiteral("click");
        QTest::newRow("Space") << QStringLiteral("space");
    }
    void mailLinkOpensTheMailProgram()
    {
        QFETCH(QString, how);
        TfrmInfo dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QLabel *mail = dialog.controls()->LeMail;
        if (how == QLatin1String("click"))
            QTest::mouseClick(mail, Qt::LeftButton);
        else
            QTest::keyClick(mail, Qt::Key_Space);
        QCOMPARE(m_mail.urls.size(), 1);
        QCOMPARE(m_mail.urls.first().toString(), QStringLiteral("mailto:tarnvik@example.org?subject=Tarnvik"));
        QVERIFY(dialog.isVisible());
    }

    void otherLabelsDoNotMail()
    {
        TfrmInfo dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::mouseClick(dialog.controls()->stAuthor, Qt::LeftButton);
        QTest::mouseClick(dialog.controls()->LeMail, Qt::RightButton);
        QVERIFY(m_mail.urls.isEmpty());
    }

    // Enter closes through the default button, also from the history.
    void enterCloses()
    {
        bool closed = false;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<TfrmInfo *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QPlainTextEdit *memo = dialog->controls()->Memo;
            memo->setFocus();
            QTest::keyClick(memo, Qt::Key_Return);
            closed = !dialog->isVisible();
        });
        OpenInfoDialog(nullptr);
        QVERIFY(closed);
    }

    void everyControlHasAnAccessibleName()
    {
        TfrmInfo dialog;
        const QList<QWidget *> widgets = dialog.findChildren<QWidget *>();
        QVERIFY(widgets.size() >= 12);
        for (QWidget *widget : widgets) {
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
            QVERIFY(iface);
            if (iface->role() == QAccessible::ScrollBar || widget->parentWidget() != &dialog)
                continue;
            QVERIFY2(!iface->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(widget->objectName()));
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(dialog.controls()->Memo)->text(QAccessible::Name),
                 QStringLiteral("Änderungshistorie:"));
    }
};

QTEST_MAIN(TestInfo)
#include "tst_info.moc"
