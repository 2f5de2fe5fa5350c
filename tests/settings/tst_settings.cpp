// The settings dialog, driven with keys and clicks against a data module on a
// temporary settings file; only the folder picker's answer is stubbed.
#include "common/FakeBrowserHost.h"
#include "common/MemorySecretStore.h"
#include "common/ModalHelper.h"
#include "common/TestProgram.h"
#include "common/Widgets.h"
#include "main/Main.h"
#include "state/DModul.h"
#include "state/Settings.h"
#include "ui_Settings.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

QList<TfrmSettings *> visibleDialogs()
{
    QList<TfrmSettings *> result;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<TfrmSettings *>(widget); dialog && dialog->isVisible())
            result << dialog;
    }
    return result;
}

QString withSep(const QString &path)
{
    return QDir::toNativeSeparators(path) + QDir::separator();
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

    TestProgram m_program;
    bool m_storeAvailable = true;
    std::shared_ptr<MemorySecretStore> m_keychain;
    QStringList m_pickerCalls;

    QString settingsFile() const { return m_program.settingsFile(); }
    QString exportFolder() const { return withSep(m_program.filePath(QStringLiteral("Export"))); }
    QSettings stored() const { return QSettings(settingsFile(), QSettings::IniFormat); }
    QByteArray rawFile() const
    {
        QFile file(settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The suite's own keychain, and a settings store that may fail to open.
    void startWith(const QVariantMap &values)
    {
        const auto environment = [this](TDMEnvironment &env) {
            env.openSettings = [this, open = env.openSettings]() -> std::unique_ptr<QSettings> {
                return m_storeAvailable ? open() : nullptr;
            };
            env.secrets = m_keychain;
        };
        QVERIFY(m_program.start(ProgramStart::bare()
                                    .values(values)
                                    .documentsFolder(m_program.filePath(QStringLiteral("Dokumente")))
                                    .environment(environment)));
    }

    void startFilled(const QString &storedTemplate = QStringLiteral("Gruß\r\nJörg"))
    {
        startWith({{QStringLiteral("Name"), QStringLiteral("Holzwurm")},
                   {QStringLiteral("EMail"), QStringLiteral("holz@example.org")},
                   {QStringLiteral("Passwort"), QStringLiteral("Geheim 1")},
                   {QStringLiteral("Template"), storedTemplate},
                   {QStringLiteral("DokuPath"), exportFolder()}});
    }

    void stopDataModule() { m_program.stop(); }

    // Opens the dialog the way the main window does and lets `act` close it.
    void runDialog(std::function<void(TfrmSettings *)> act)
    {
        const auto watch = onNextModalOf<TfrmSettings>(act);
        OpenSettingsDialog(nullptr);
        QVERIFY2(watch->acted && !watch->timedOut, "the settings dialog did not show");
    }

    // A folder picker that answers `answer` and records how it was asked.
    void answerPicker(std::optional<QString> answer)
    {
        TfrmSettings::setFolderPicker([this, answer](QWidget *owner, const QString &caption, const QString &instruction) {
            m_pickerCalls << caption << instruction << (owner ? owner->metaObject()->className() : "");
            return answer;
        });
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
    }

    void init()
    {
        m_storeAvailable = true;
        m_keychain.reset();
        m_pickerCalls.clear();
        QDir(m_program.filePath(QStringLiteral("Export"))).removeRecursively();
        QDir(m_program.filePath(QStringLiteral("Gewählt"))).removeRecursively();
    }

    void cleanup()
    {
        TfrmSettings::setFolderPicker({});
        stopDataModule();
    }

    void showsTheStoredValuesWithThePathEndInView()
    {
        startFilled();
        runDialog([&](TfrmSettings *dialog) {
            Ui::TfrmSettings *ui = dialog->controls();
            QCOMPARE(ui->EUser->text(), QStringLiteral("Holzwurm"));
            QCOMPARE(ui->EEMail->text(), QStringLiteral("holz@example.org"));
            QCOMPARE(ui->EPasswort->text(), QStringLiteral("Geheim 1"));
            QCOMPARE(ui->EPasswort->echoMode(), QLineEdit::Normal);
            QCOMPARE(ui->memTemplate->toPlainText(), QStringLiteral("Gruß\nJörg"));
            QCOMPARE(ui->EPath->text(), exportFolder());
            QCOMPARE(ui->EPath->cursorPosition(), exportFolder().size());
            QVERIFY(!ui->EPath->hasSelectedText());
            QVERIFY(ui->EPath->isReadOnly());
            QCOMPARE(ui->lblNotice->text(),
                     QStringLiteral("Die Daten werden nur zum automatischen Ausfüllen der Formular- felder bei "
                                    "Antworten  im Forum und zum Einstellen von Bildern auf der Seite von "
                                    "Pellkamp verwendet."));
            QCOMPARE(dialog->size(), QSize(342, 359));
            dialog->reject();
        });
    }

    // Tab walks name, e-mail, password, template, OK, Abbrechen; the export
    // path and the folder button are left out.
    void tabOrderSkipsPathAndFolderButton()
    {
        startFilled();
        QStringList visited;
        runDialog([&](TfrmSettings *dialog) {
            for (int i = 0; i < 7; ++i) {
                QWidget *focus = QApplication::focusWidget();
                visited << (focus ? focus->objectName() : QString());
                QTest::keyClick(focus ? focus : dialog, Qt::Key_Tab);
            }
            dialog->reject();
        });
        QCOMPARE(visited, (QStringList{QStringLiteral("EUser"), QStringLiteral("EEMail"), QStringLiteral("EPasswort"),
                                       QStringLiteral("memTemplate"), QStringLiteral("btnOK"),
                                       QStringLiteral("btnCancel"), QStringLiteral("EUser")}));
    }

    // Enter makes a new line in the template and closes with OK elsewhere.
    void enterInTemplateIsANewLine()
    {
        startFilled(QString());
        runDialog([](TfrmSettings *dialog) {
            Ui::TfrmSettings *ui = dialog->controls();
            ui->memTemplate->setFocus();
            QTest::keyClicks(ui->memTemplate, QStringLiteral("Hallo"));
            QTest::keyClick(ui->memTemplate, Qt::Key_Return);
            QTest::keyClicks(ui->memTemplate, QStringLiteral("Gruß"));
            QVERIFY(dialog->isVisible());
            ui->EUser->setFocus();
            QTest::keyClick(ui->EUser, Qt::Key_Return);
        });
        QCOMPARE(DM->Template(), QStringLiteral("Hallo\r\nGruß"));
        QVERIFY(DM->TextsChanged());
    }

    void okWithoutChangeSetsNoFlag_data()
    {
        QTest::addColumn<QString>("storedTemplate");
        QTest::newRow("empty") << QString();
        QTest::newRow("CR LF lines") << QStringLiteral("Gruß\r\nJörg\r\n");
        QTest::newRow("LF lines") << QStringLiteral("Gruß\nJörg");
        QTest::newRow("non-breaking blank") << QStringLiteral("Mit\u00a0Gruß");
    }
    void okWithoutChangeSetsNoFlag()
    {
        QFETCH(QString, storedTemplate);
        startFilled(storedTemplate);
        const QByteArray before = rawFile();
        runDialog([](TfrmSettings *dialog) { QTest::mouseClick(dialog->controls()->btnOK, Qt::LeftButton); });
        QVERIFY(!DM->TextsChanged());
        QCOMPARE(DM->Template(), storedTemplate);
        QCOMPARE(DM->DokuPath(), exportFolder());
        QCOMPARE(rawFile(), before);
    }

    // OK stores the changed settings at once, not only when the program ends.
    void okStoresTheChangesAtOnce()
    {
        startFilled();
        runDialog([](TfrmSettings *dialog) {
            QTest::keyClicks(dialog->controls()->EUser, QStringLiteral("s"));
            QTest::mouseClick(dialog->controls()->btnOK, Qt::LeftButton);
        });
        QCOMPARE(stored().value(QStringLiteral("Name")).toString(), QStringLiteral("Holzwurms"));
    }

    // While the keychain is still to answer, the password field waits, with
    // a note after a moment; the rest of the dialog works, and OK then
    // leaves the password as it is.
    void thePasswordWaitsForTheKeychain_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::newRow("answered") << true;
        QTest::newRow("closed first") << false;
    }
    void thePasswordWaitsForTheKeychain()
    {
        QFETCH(bool, answered);
        m_keychain = std::make_shared<MemorySecretStore>();
        m_keychain->values.insert(QStringLiteral("Passwort"), QStringLiteral("Geheim 2"));
        m_keychain->held = true;
        startWith({{QStringLiteral("Name"), QStringLiteral("Holzwurm")}, {QStringLiteral("DokuPath"), exportFolder()}});
        runDialog([&](TfrmSettings *dialog) {
            Ui::TfrmSettings *ui = dialog->controls();
            QVERIFY(!ui->EPasswort->isEnabled());
            const auto note = [dialog] { return dialog->findChild<QLabel *>(QStringLiteral("lblPasswortWait")); };
            QTRY_VERIFY(note() && note()->isVisible());
            testwidgets::keepScreenshot(dialog, QStringLiteral("settings-waiting-for-keychain.png"));
            QTest::keyClicks(ui->EUser, QStringLiteral("s"));
            if (answered) {
                m_keychain->answerHeld();
                QCOMPARE(ui->EPasswort->text(), QStringLiteral("Geheim 2"));
                QVERIFY(ui->EPasswort->isEnabled());
                QVERIFY(!note());
            }
            QTest::mouseClick(ui->btnOK, Qt::LeftButton);
        });
        QCOMPARE(DM->Name(), QStringLiteral("Holzwurms"));
        m_keychain->answerHeld();
        QCOMPARE(DM->Passwort(), QStringLiteral("Geheim 2"));
        QCOMPARE(m_keychain->writes, QStringList());
        QVERIFY(!stored().contains(QStringLiteral("Passwort")));
    }

    void changingOnlyTheEMailWritesAllFourTexts()
    {
        // No password stored yet: it is written all the same, as empty text.
        startWith({{QStringLiteral("Name"), QStringLiteral("Holzwurm")},
                   {QStringLiteral("EMail"), QStringLiteral("alt@example.org")},
                   {QStringLiteral("Template"), QStringLiteral("Gruß\r\nJörg")}});
        runDialog([](TfrmSettings *dialog) {
            QLineEdit *mail = dialog->controls()->EEMail;
            mail->setFocus();
            mail->selectAll();
            QTest::keyClicks(mail, QStringLiteral("neu@example.org"));
            QTest::mouseClick(dialog->controls()->btnOK, Qt::LeftButton);
        });
        QVERIFY(DM->TextsChanged());
        stopDataModule();
        QSettings s = stored();
        QCOMPARE(s.value(QStringLiteral("Name")).toString(), QStringLiteral("Holzwurm"));
        QCOMPARE(s.value(QStringLiteral("EMail")).toString(), QStringLiteral("neu@example.org"));
        QVERIFY(s.contains(QStringLiteral("Passwort")));
        QCOMPARE(s.value(QStringLiteral("Passwort")).toString(), QString());
        QCOMPARE(s.value(QStringLiteral("Template")).toString(), QStringLiteral("Gruß\r\nJörg"));
    }

    void valuesAreDroppedWhenTheStoreCannotBeOpened()
    {
        startFilled();
        m_storeAvailable = false;
        const QString chosen = m_program.filePath(QStringLiteral("Gewählt"));
        QVERIFY(QDir().mkpath(chosen));
        answerPicker(chosen);
        runDialog([](TfrmSettings *dialog) {
            QTest::keyClicks(dialog->controls()->EUser, QStringLiteral("X"));
            QTest::mouseClick(dialog->controls()->sbDokuPath, Qt::LeftButton);
            QTest::mouseClick(dialog->controls()->btnOK, Qt::LeftButton);
        });
        QVERIFY(!DM->TextsChanged());
        QCOMPARE(DM->Name(), QStringLiteral("Holzwurm"));
        QCOMPARE(DM->DokuPath(), exportFolder());
    }

    void closingOtherwiseKeepsTheExportFolder_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Abbrechen") << QStringLiteral("cancel");
        QTest::newRow("Esc") << QStringLiteral("escape");
        QTest::newRow("close box") << QStringLiteral("close");
    }
    void closingOtherwiseKeepsTheExportFolder()
    {
        QFETCH(QString, how);
        startFilled();
        const QString chosen = m_program.filePath(QStringLiteral("Gewählt/Neu"));
        answerPicker(chosen);
        runDialog([&](TfrmSettings *dialog) {
            Ui::TfrmSettings *ui = dialog->controls();
            QTest::keyClicks(ui->EUser, QStringLiteral("Anders"));
            QTest::mouseClick(ui->sbDokuPath, Qt::LeftButton);
            QCOMPARE(ui->EPath->text(), withSep(chosen));
            if (how == QLatin1String("cancel"))
                QTest::mouseClick(ui->btnCancel, Qt::LeftButton);
            else if (how == QLatin1String("escape"))
                QTest::keyClick(ui->EUser, Qt::Key_Escape);
            else
                dialog->close();
        });
        QCOMPARE(DM->DokuPath(), exportFolder());
        QCOMPARE(DM->Name(), QStringLiteral("Holzwurm"));
        QVERIFY(!DM->TextsChanged());
        QVERIFY(!QFileInfo::exists(chosen));
        QVERIFY(visibleDialogs().isEmpty());
    }

    void cancellingThePickerKeepsThePath()
    {
        startFilled();
        answerPicker(std::nullopt);
        runDialog([&](TfrmSettings *dialog) {
            QTest::mouseClick(dialog->controls()->sbDokuPath, Qt::LeftButton);
            QCOMPARE(dialog->controls()->EPath->text(), exportFolder());
            dialog->accept();
        });
        QCOMPARE(m_pickerCalls,
                 (QStringList{QStringLiteral("Verzeichnis auswählen"), QStringLiteral("Tarnvik Datenexport"),
                              QStringLiteral("TfrmSettings")}));
        QCOMPARE(DM->DokuPath(), exportFolder());
    }

    void chosenFolderGetsOneTrailingSeparator_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("confirm");
        const QString folder = m_program.filePath(QStringLiteral("Gewählt"));
        QTest::newRow("bare") << folder << withSep(folder) << true;
        QTest::newRow("with separator") << withSep(folder) << withSep(folder) << true;
        // Not confirmed: the export folder would make a folder in the root.
        QTest::newRow("root") << QDir::rootPath() << QDir::toNativeSeparators(QDir::rootPath()) << false;
    }
    void chosenFolderGetsOneTrailingSeparator()
    {
        QFETCH(QString, answer);
        QFETCH(QString, expected);
        QFETCH(bool, confirm);
        startFilled();
        answerPicker(answer);
        runDialog([&](TfrmSettings *dialog) {
            QLineEdit *path = dialog->controls()->EPath;
            QTest::mouseClick(dialog->controls()->sbDokuPath, Qt::LeftButton);
            QCOMPARE(path->text(), expected);
            QCOMPARE(path->cursorPosition(), expected.size());
            QVERIFY(!path->hasSelectedText());
            QTest::mouseClick(confirm ? dialog->controls()->btnOK : dialog->controls()->btnCancel, Qt::LeftButton);
        });
        if (!confirm)
            return;
        QCOMPARE(DM->DokuPath(), expected);
        QVERIFY(QFileInfo(expected + QStringLiteral("Pictures")).isDir());
        stopDataModule();
        QCOMPARE(stored().value(QStringLiteral("DokuPath")).toString(), expected);
    }

    // The export folder chosen again is no change: no folder is made anew.
    void choosingTheExportFolderAgainChangesNothing()
    {
        startFilled();
        const QString pictures = exportFolder() + QStringLiteral("Pictures");
        QVERIFY(QDir(pictures).removeRecursively());
        answerPicker(m_program.filePath(QStringLiteral("Export")));
        runDialog([](TfrmSettings *dialog) {
            QTest::mouseClick(dialog->controls()->sbDokuPath, Qt::LeftButton);
            QTest::mouseClick(dialog->controls()->btnOK, Qt::LeftButton);
        });
        QCOMPARE(DM->DokuPath(), exportFolder());
        QVERIFY(!QFileInfo::exists(pictures));
    }

    // Every caption is shown whole in the fixed layout.
    void captionsFitTheirPlaces()
    {
        startFilled();
        TfrmSettings dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (QLabel *label : dialog.findChildren<QLabel *>()) {
            const QRect room = label->contentsRect();
            if (label->wordWrap())
                QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(label->objectName()));
            else
                QVERIFY2(label->sizeHint().width() <= room.width() + 1, qPrintable(label->objectName()));
        }
        for (QPushButton *button : dialog.findChildren<QPushButton *>())
            QVERIFY2(button->sizeHint().width() <= button->width() + 10, qPrintable(button->objectName()));
    }

    // Where the password cannot go into a keychain, one line under its field
    // says so, and the notice makes room for it.
    void keychainLineShowsOnlyWithoutKeychain_data()
    {
        QTest::addColumn<bool>("keychain");
        QTest::newRow("keychain") << true;
        QTest::newRow("no keychain") << false;
    }
    void keychainLineShowsOnlyWithoutKeychain()
    {
        QFETCH(bool, keychain);
        m_keychain = std::make_shared<MemorySecretStore>();
        m_keychain->available = keychain;
        startFilled();
        TfrmSettings dialog;
        dialog.loadFrom(*DM);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Ui::TfrmSettings *ui = dialog.controls();
        QTRY_COMPARE(DM->PasswortInKeychain(), keychain);
        QCOMPARE(ui->lblKeychain->isVisible(), !keychain);
        QCOMPARE(ui->EPasswort->text(), QStringLiteral("Geheim 1"));
        const QRect notice = ui->lblNotice->geometry();
        QVERIFY(notice.top() > ui->EPasswort->geometry().bottom());
        QVERIFY(!ui->lblKeychain->isVisible() || notice.top() > ui->lblKeychain->geometry().bottom());
        QVERIFY(ui->lblNotice->heightForWidth(notice.width()) <= ui->lblPath->geometry().top() - notice.top());
    }

    void everyControlHasAnAccessibleName()
    {
        startFilled();
        TfrmSettings dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QList<QWidget *> widgets = dialog.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(widgets.size(), 15);
        for (QWidget *widget : widgets) {
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
            QVERIFY(iface);
            QVERIFY2(!iface->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(widget->objectName()));
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(dialog.controls()->EUser)->text(QAccessible::Name),
                 QStringLiteral("Name:"));
        QCOMPARE(dialog.controls()->sbDokuPath->toolTip(), QStringLiteral("Verzeichnis auswählen"));
        QCOMPARE(dialog.controls()->sbDokuPath->focusPolicy(), Qt::NoFocus);
    }

    // The main window opens the dialog whenever it becomes active while no
    // name is set: again after each closed dialog, never two at once, and no
    // more once a name is given. The virtual display has no window manager,
    // so the test hands the activation back to the main window itself, as a
    // window manager does when a dialog closes.
    void reopensOnActivationWhileTheNameIsEmpty()
    {
        startWith({{QStringLiteral("DokuPath"), exportFolder()}});
        TfrmMain main([](QWidget *parent) { return new FakeBrowserHost(parent); });
        QWidget other;
        other.setWindowTitle(QStringLiteral("Anderes Fenster"));
        const auto reactivateMain = [&main] { QTimer::singleShot(0, &main, [&main] { main.activateWindow(); }); };

        int shown = 0;
        int mostAtOnce = 0;
        QList<QPointer<TfrmSettings>> seen;
        QTimer watcher;
        watcher.setInterval(10);
        connect(&watcher, &QTimer::timeout, [&] {
            mostAtOnce = std::max(mostAtOnce, int(visibleDialogs().size()));
            auto *dialog = qobject_cast<TfrmSettings *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isActiveWindow() || seen.contains(dialog))
                return;
            seen << dialog;
            ++shown;
            // While it is open, neither an activation of the main window nor
            // the command opens a second one.
            QEvent activate(QEvent::WindowActivate);
            QApplication::sendEvent(&main, &activate);
            main.actSettingsExecute();
            QTest::qWait(20);
            mostAtOnce = std::max(mostAtOnce, int(visibleDialogs().size()));

            Ui::TfrmSettings *ui = dialog->controls();
            switch (shown) {
            case 1:
                QTest::mouseClick(ui->btnCancel, Qt::LeftButton);
                reactivateMain();
                break;
            case 2:
                QTest::keyClick(ui->EUser, Qt::Key_Escape);
                break;
            case 3:
                QTest::keyClicks(ui->EUser, QStringLiteral("Holzwurm"));
                QTest::mouseClick(ui->btnOK, Qt::LeftButton);
                reactivateMain();
                break;
            default:
                dialog->reject();
            }
        });
        watcher.start();

        main.show();
        main.activateWindow();
        // Cancelled, and back comes the dialog with the main window's activation.
        QTRY_COMPARE_WITH_TIMEOUT(shown, 2, 10000);
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        QTest::qWait(200);
        QCOMPARE(shown, 2);

        // The user visits another window and comes back, the name still empty.
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        main.activateWindow();
        QTRY_COMPARE_WITH_TIMEOUT(shown, 3, 10000);
        QTRY_COMPARE(DM->Name(), QStringLiteral("Holzwurm"));
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);

        // With a name, no activation opens it any more.
        QVERIFY(QTest::qWaitForWindowActive(&main));
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTest::qWait(200);
        QCOMPARE(shown, 3);
        QCOMPARE(mostAtOnce, 1);

        // The command still opens it on request.
        main.actSettingsExecute();
        QCOMPARE(shown, 4);
        watcher.stop();
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
