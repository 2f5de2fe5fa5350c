// The password in the system keychain. CTest runs this suite three times:
// with no session bus at all (TARNVIK_SECRET_SERVICE=0), inside a session bus
// of its own with an unlocked keyring (=1), and with a keyring that waits for
// a password in a prompt (=2). Run by hand without the variable it skips, so
// that it never touches the user's own keychain.
#include "state/DModul.h"
#include "state/ErrorReport.h"
#include "state/Settings.h"
#include "ui_Settings.h"

#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

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
        // A short bound where the keychain is known to hang.
        env.secrets = tarnvik::systemKeychain(QStringLiteral("Tarnvik-Test"), m_mode == 2 ? 1000 : 5000);
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
    // a changed one goes there at exit and comes back at the next start.
    void passwordMovesIntoTheKeychain()
    {
        if (m_mode != 1)
            QSKIP("needs a secret service");
        writeRaw("[General]\nName=Holzwurm\nPasswort=alt \xc3\xbc\n");
        {
            TDM dm(environment());
            QVERIFY(dm.PasswortInKeychain());
            QCOMPARE(dm.Passwort(), QStringLiteral("alt ü"));
            QVERIFY(!stored().contains(QStringLiteral("Passwort")));
            QCOMPARE(stored().value(QStringLiteral("Name")).toString(), QStringLiteral("Holzwurm"));
            dm.SetPasswort(QStringLiteral("neu ß"));
        }
        QVERIFY(!stored().contains(QStringLiteral("Passwort")));
        TDM again(environment());
        QVERIFY(again.PasswortInKeychain());
        QCOMPARE(again.Passwort(), QStringLiteral("neu ß"));
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    }

    // Where no secret service answers, or it does not answer in time, the
    // password stays in the settings file, and the settings dialog says so.
    void withoutSecretServiceThePasswordStaysInTheFile()
    {
        if (m_mode == 1)
            QSKIP("runs where no secret service answers");
        writeRaw("[General]\nPasswort=alt\n");
        {
            TDM dm(environment());
            QVERIFY(!dm.PasswortInKeychain());
            QCOMPARE(dm.Passwort(), QStringLiteral("alt"));
            QCOMPARE(stored().value(QStringLiteral("Passwort")).toString(), QStringLiteral("alt"));
            dm.SetPasswort(QStringLiteral("neu"));

            TfrmSettings dialog;
            dialog.loadFrom(dm);
            QVERIFY(!dialog.controls()->lblKeychain->isHidden());
        }
        QCOMPARE(stored().value(QStringLiteral("Passwort")).toString(), QStringLiteral("neu"));
    }
};

QTEST_MAIN(TestKeychain)
#include "tst_keychain.moc"
