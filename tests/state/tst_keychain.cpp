// The password in the system keychain. CTest runs this suite four times:
// with no session bus at all (TARNVIK_SECRET_SERVICE=0), and inside a session
// bus of its own with a keyring, unlocked (=1), locked by the suite once it
// holds the password (=2), so that reading it asks for the keyring's password
// in a prompt that nobody answers, and unlocked under Qt's own event loop
// without GLib (=3). Run by hand without the variable it
// skips, so that it never touches the user's own keychain.
#include "state/DModul.h"
#include "state/ErrorReport.h"
#include "state/PasswortWait.h"
#include "state/Settings.h"
#include "common/Widgets.h"
#include "ui_Settings.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

namespace {

const QString kSecrets = QStringLiteral("org.freedesktop.secrets");

QDBusMessage secretService(const QString &path, const QString &interface, const QString &method)
{
    return QDBusMessage::createMethodCall(kSecrets, path, interface, method);
}

// Locks the keyring as a session does when the screen locks.
bool lockKeyring()
{
    QDBusMessage lock = secretService(QStringLiteral("/org/freedesktop/secrets"),
                                      QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"));
    lock << QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath("/org/freedesktop/secrets/aliases/default")});
    return QDBusConnection::sessionBus().call(lock).type() == QDBusMessage::ReplyMessage;
}

// Whether the keyring shows a prompt: it keeps one object for each.
bool promptOpen()
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        secretService(QStringLiteral("/org/freedesktop/secrets/prompt"),
                      QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect")));
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toString().contains("<node name=");
}

} // namespace

class TestKeychain : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_errors;
    int m_mode = -1;

    QString settingsFile() const { return m_dir.filePath(QStringLiteral("Tarnvik.conf")); }
    QSettings stored() const { return QSettings(settingsFile(), QSettings::IniFormat); }

    TDMEnvironment environment() const
    {
        TDMEnvironment env = TDMEnvironment::inFolder(settingsFile(), m_dir.path(), m_dir.path());
        env.secrets = tarnvik::systemKeychain(QStringLiteral("Tarnvik-Test"));
        return env;
    }

    void writeRaw(const QByteArray &ini)
    {
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ini);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        bool ok = false;
        const int mode = qEnvironmentVariableIntValue("TARNVIK_SECRET_SERVICE", &ok);
        if (!ok)
            QSKIP("run through CTest: it sets up the secret service, or makes sure there is none");
        m_mode = mode;
        tarnvik::setErrorReporter([this](const QString &text) { m_errors << text; });
    }

    void init()
    {
        QFile::remove(settingsFile());
        m_errors.clear();
    }

    // A password found in plain text moves into the keychain at the start;
    // a changed one goes there at once and comes back at the next start.
    void passwordMovesIntoTheKeychain()
    {
        if (m_mode != 1)
            QSKIP("needs a secret service");
        writeRaw("[General]\nName=Holzwurm\nPasswort=alt \xc3\xbc\n");
        {
            TDM dm(environment());
            QCOMPARE(dm.Passwort(), QStringLiteral("alt ü"));
            QTRY_VERIFY(dm.PasswortInKeychain());
            QVERIFY(!stored().contains(QStringLiteral("Passwort")));
            QCOMPARE(stored().value(QStringLiteral("Name")).toString(), QStringLiteral("Holzwurm"));
            dm.SetPasswort(QStringLiteral("neu ß"));
            QTRY_VERIFY(dm.PasswortInKeychain());
        }
        QVERIFY(!stored().contains(QStringLiteral("Passwort")));
        TDM again(environment());
        QTRY_VERIFY(again.PasswortKnown());
        QVERIFY(again.PasswortInKeychain());
        QCOMPARE(again.Passwort(), QStringLiteral("neu ß"));
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    }

    // Where no secret service answers, the password stays in the settings
    // file, and the settings dialog says so.
    void withoutSecretServiceThePasswordStaysInTheFile()
    {
        if (m_mode != 0)
            QSKIP("runs where no secret service answers");
        writeRaw("[General]\nPasswort=alt\n");
        {
            TDM dm(environment());
            QCOMPARE(dm.Passwort(), QStringLiteral("alt"));
            TfrmSettings dialog;
            dialog.loadFrom(dm);
            QTRY_VERIFY(!dialog.controls()->lblKeychain->isHidden());
            QVERIFY(!dm.PasswortInKeychain());
            QCOMPARE(stored().value(QStringLiteral("Passwort")).toString(), QStringLiteral("alt"));
            dm.SetPasswort(QStringLiteral("neu"));
        }
        QCOMPARE(stored().value(QStringLiteral("Passwort")).toString(), QStringLiteral("neu"));
    }

    // The secret service answers only through GLib's event loop; where Qt
    // runs another, the keychain would never answer, so the program keeps
    // the password in its settings file.
    void keychainOnlyWithGlibLoop()
    {
        if (m_mode != 1 && m_mode != 3)
            QSKIP("needs a secret service");
        QCOMPARE(bool(TDMEnvironment::platform().secrets), m_mode == 1);
    }

    // A locked keyring asks for its own password. Meanwhile the data module
    // is made and the windows work; nothing cancels the prompt, and the exit
    // keeps a changed password in the file instead of waiting.
    void lockedKeyringHoldsUpNothing()
    {
        if (m_mode != 2)
            QSKIP("needs a locked keyring");
        writeRaw("[General]\nName=Holzwurm\nPasswort=geheim\n");
        {
            TDM dm(environment());
            QTRY_VERIFY(dm.PasswortInKeychain());
        }
        QVERIFY(lockKeyring());

        QElapsedTimer clock;
        clock.start();
        std::optional<TDM> dm;
        dm.emplace(environment());
        const qint64 made = clock.elapsed();
        QVERIFY(!dm->PasswortKnown());

        QWidget window;
        auto *edit = new QLineEdit(&window);
        window.resize(320, 120);
        QVERIFY(testwidgets::showActive(&window));
        bool ran = false;
        tarnvik::afterPasswortKnown(&window, *dm, [&ran] { ran = true; });
        QTRY_VERIFY(window.findChild<QLabel *>(QStringLiteral("lblPasswortWait")));
        testwidgets::keepScreenshot(&window, QStringLiteral("keychain-locked-wait.png"));
        QTest::keyClicks(edit, QStringLiteral("tippt"));
        QCOMPARE(edit->text(), QStringLiteral("tippt"));
        QVERIFY(promptOpen());

        // Well past any moment the program allows itself, the prompt is open
        // and unanswered.
        QTest::qWait(int(std::max<qint64>(0, 2500 - clock.elapsed())));
        QVERIFY(promptOpen());
        QVERIFY(!dm->PasswortKnown() && !ran);

        // Settings changed meanwhile are stored at once; the password, which
        // the keychain cannot take now, in the file at exit.
        dm->SetName(QStringLiteral("Holzwurm 2"));
        dm->SaveSettings();
        QCOMPARE(stored().value(QStringLiteral("Name")).toString(), QStringLiteral("Holzwurm 2"));
        dm->SetPasswort(QStringLiteral("neu"));
        QVERIFY(!stored().contains(QStringLiteral("Passwort")));
        clock.restart();
        dm.reset();
        const qint64 ended = clock.elapsed();
        QCOMPARE(stored().value(QStringLiteral("Passwort")).toString(), QStringLiteral("neu"));
        QVERIFY(promptOpen());
        qInfo("made in %lld ms, ended in %lld ms", made, ended);
        // The exit gives the keychain a moment, not the time a person needs.
        QVERIFY2(ended < 1500, qPrintable(QString::number(ended)));
    }
};

QTEST_MAIN(TestKeychain)
#include "tst_keychain.moc"
