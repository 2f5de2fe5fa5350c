// The data module against a real settings file and real folders.
#include "state/CommaText.h"
#include "state/DModul.h"
#include "state/ErrorReport.h"
#include "state/IniValue.h"
#include "common/MemorySecretStore.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestState : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_errors;

    QString settingsFile() const { return m_dir.filePath(QStringLiteral("Tarnvik.conf")); }
    QString documents() const { return m_dir.filePath(QStringLiteral("home/Dokumente")); }

    TDMEnvironment environment() const
    {
        TDMEnvironment env;
        const QString file = settingsFile();
        env.openSettings = [file] { return std::make_unique<QSettings>(file, QSettings::IniFormat); };
        env.programFile = m_dir.filePath(QStringLiteral("bin/tarnvik"));
        const QString docs = documents();
        env.documentsFolder = [docs] { return docs; };
        return env;
    }

    void writeRaw(const QByteArray &ini)
    {
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ini);
    }

    QSettings stored() const { return QSettings(settingsFile(), QSettings::IniFormat); }

    QByteArray rawFile() const
    {
        QFile file(settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QFile::remove(settingsFile());
        QDir(m_dir.filePath(QStringLiteral("home"))).removeRecursively();
        m_errors.clear();
        tarnvik::setErrorReporter([this](const QString &text) { m_errors << text; });
    }

    void firstRunUsesDefaultsAndWritesOnlyTheExportFolder()
    {
        {
            TDM dm(environment());
            QCOMPARE(dm.Forum(), ForumKind(0));
            QVERIFY(dm.Name().isEmpty() && dm.Template().isEmpty() && dm.PicIDs().isEmpty());
            const QString expected = QDir::toNativeSeparators(documents() + QStringLiteral("/Tarnvik/"));
            QCOMPARE(dm.DokuPath(), expected);
            // The documents folder itself did not exist: parents are made too.
            QVERIFY(QDir(dm.DokuPath()).exists());
            QVERIFY(QDir(dm.PicturesPath()).exists());
            QCOMPARE(dm.PicturesPath(), expected + QStringLiteral("Pictures") + QDir::separator());
            QVERIFY(dm.ProgramPath().endsWith(QDir::separator()));
            QCOMPARE(dm.ProgramPath(), QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("bin/"))));
            QVERIFY(!dm.TextsChanged() && !dm.ForumChanged() && !dm.PicIDsChanged() && dm.DokuPathChanged());
        }
        QSettings s = stored();
        QCOMPARE(s.allKeys(), QStringList{QStringLiteral("DokuPath")});
        QVERIFY(m_errors.isEmpty());
    }

    void storedValuesAreLoadedAndMissingForumMeansSectionOne()
    {
        {
            QSettings s = stored();
            s.setValue(QStringLiteral("Name"), QStringLiteral("Jörg Weiß"));
            s.setValue(QStringLiteral("Template"), QStringLiteral("Gruß\r\nJörg"));
            s.setValue(QStringLiteral("PicIDs"), QStringLiteral("12,34,56"));
        }
        TDM dm(environment());
        QCOMPARE(dm.Name(), QStringLiteral("Jörg Weiß"));
        QCOMPARE(dm.Template(), QStringLiteral("Gruß\r\nJörg"));
        QCOMPARE(dm.PicIDs(), (QStringList{"12", "34", "56"}));
        QCOMPARE(dm.EMail(), QString());
        QCOMPARE(dm.Forum(), ForumKind(1));
        QVERIFY(!dm.TextsChanged() && !dm.ForumChanged());
    }

    void forumKeepsOnlyTheLowByte()
    {
        writeRaw("[General]\nForum=258\n");
        TDM dm(environment());
        QCOMPARE(dm.Forum(), ForumKind(2));
    }

    void wrongTypesAreReportedAndTheRestStillLoads()
    {
        // An unquoted list is read back as a list, not as a text; "Forum"
        // holds no number.
        writeRaw("[General]\nName=a, b\nEMail=holz@example.org\nForum=viel\nPicIDs=7\n");
        TDM dm(environment());
        QCOMPARE(m_errors.size(), 2);
        QCOMPARE(m_errors.at(0), QStringLiteral("Ungültiger Datentyp für 'Name'"));
        QCOMPARE(m_errors.at(1), QStringLiteral("Fehler beim Holen der Daten für 'Forum'"));
        QCOMPARE(dm.Name(), QString());
        QCOMPARE(dm.EMail(), QStringLiteral("holz@example.org"));
        QCOMPARE(dm.PicIDs(), QStringList{QStringLiteral("7")});
        QCOMPARE(dm.Forum(), ForumKind(1));
        QVERIFY(dm.ProgramPath().endsWith(QDir::separator()));
        QVERIFY(!dm.DokuPath().isEmpty());
    }

    void changingOneTextWritesTheWholeGroupAndLeavesOtherGroups()
    {
        writeRaw("[General]\nName=Anna\nEMail=a@b.de\nPasswort=x\nTemplate=T\nForum=0\nPicIDs=\"1,2\"\n");
        {
            TDM dm(environment());
            dm.SetName(QStringLiteral("Anna")); // unchanged: no flag
            QVERIFY(!dm.TextsChanged());
            dm.SetTemplate(QStringLiteral("Neue Vorlage"));
            QVERIFY(dm.TextsChanged());
        }
        QSettings s = stored();
        QCOMPARE(s.value(QStringLiteral("Template")).toString(), QStringLiteral("Neue Vorlage"));
        QCOMPARE(s.value(QStringLiteral("Name")).toString(), QStringLiteral("Anna"));
        QCOMPARE(s.value(QStringLiteral("Forum")).toInt(), 0);
        QCOMPARE(s.value(QStringLiteral("PicIDs")).toString(), QStringLiteral("1,2"));
    }

    void classificationWritesForumAndPicturesAtExit()
    {
        {
            TDM dm(environment());
            dm.ClassifyUrl(QStringLiteral("http://h/cgi-bin/marktplatz/x"));
            dm.AddPicID(QStringLiteral("4711"));
        }
        QSettings s = stored();
        QCOMPARE(s.value(QStringLiteral("Forum")).toInt(), 2);
        QCOMPARE(s.value(QStringLiteral("PicIDs")).toString(), QStringLiteral("4711"));
        QVERIFY(!s.contains(QStringLiteral("Name")));
    }

    void exportFolder()
    {
        const QString chosen = m_dir.filePath(QStringLiteral("home/Export/Tief/Ordner"));
        {
            QSettings s = stored();
            s.setValue(QStringLiteral("DokuPath"), chosen);
        }
        TDM dm(environment());
        // A stored folder is taken with its separator added and made with
        // its parents; taking it is no change.
        QCOMPARE(dm.DokuPath(), QDir::toNativeSeparators(chosen) + QDir::separator());
        QVERIFY(QDir(dm.PicturesPath()).exists());
        QVERIFY(!dm.DokuPathChanged());

        TDM again(environment());
        const QString before = again.DokuPath();
        QDir(before).removeRecursively();
        again.SetDokuPath(before);
        QVERIFY(!QDir(before).exists()); // same value: nothing happens
    }

    // A start and an exit without changes leave the file as it was, byte for
    // byte, also where it holds what the settings store would write
    // differently (Windows-1252, an unquoted list, CR LF in a value).
    void unchangedSettingsFileIsNotRewritten()
    {
        const QByteArray folder = QDir(m_dir.filePath(QStringLiteral("home/Export"))).absolutePath().toUtf8();
        const QByteArray ini = "[General]\nName=J\xfcrgen\nEMail=j@example.org\nPasswort=geheim\n"
                               "Template=Gru\xc3\x9f\\r\\nJ\xc3\xbcrgen\nPicIDs=4711,4712\nForum=0\nDokuPath="
                               + folder + "/\n";
        writeRaw(ini);
        {
            TDM dm(environment());
            QCOMPARE(dm.Name(), QStringLiteral("Jürgen"));
            dm.ClassifyUrl(QStringLiteral("http://h/cgi-bin/forum/webbbs_config.pl"));
        }
        QCOMPARE(rawFile(), ini);
        QVERIFY(m_errors.isEmpty());
    }

    // A value written in the Windows code page is read as such, and stays
    // intact when the file is written for other changes, one after another.
    void windows1252ValueIsKept()
    {
        writeRaw("[General]\nName=J\xfcrgen\nEMail=J\xfcrgen@example.org\nTemplate=\"Gr\xfc\xdf, J\x80\"\nForum=0\n");
        {
            TDM dm(environment());
            QCOMPARE(dm.Name(), QStringLiteral("Jürgen"));
            QCOMPARE(dm.Template(), QStringLiteral("Grüß, J€"));
            dm.SetEMail(QStringLiteral("jb@example.org"));
            dm.SaveSettings();
            dm.ClassifyUrl(QStringLiteral("http://h/cgi-bin/marktplatz/x"));
        }
        QSettings s = stored();
        QCOMPARE(s.value(QStringLiteral("Forum")).toInt(), 2);
        QCOMPARE(s.value(QStringLiteral("EMail")).toString(), QStringLiteral("jb@example.org"));
        QCOMPARE(s.value(QStringLiteral("Name")).toString(), QStringLiteral("Jürgen"));
        QCOMPARE(s.value(QStringLiteral("Template")).toString(), QStringLiteral("Grüß, J€"));
    }

    // A value refused at loading is not overwritten when another value of
    // its group changes.
    void oversizedTemplateSurvivesANameChange()
    {
        const QString huge(3 << 20, QLatin1Char('x'));
        {
            QSettings s = stored();
            s.setValue(QStringLiteral("Name"), QStringLiteral("Alt"));
            s.setValue(QStringLiteral("Template"), huge);
        }
        {
            TDM dm(environment());
            QCOMPARE(m_errors, QStringList{QStringLiteral("Fehler beim Holen der Daten für 'Template'")});
            QVERIFY(dm.Template().isEmpty());
            dm.SetName(QStringLiteral("Neu"));
            dm.SetTemplate(QString()); // what the settings dialog hands over: no change
        }
        QSettings s = stored();
        QCOMPARE(s.value(QStringLiteral("Name")).toString(), QStringLiteral("Neu"));
        QVERIFY(s.value(QStringLiteral("Template")).toString() == huge);
        QVERIFY(s.contains(QStringLiteral("Passwort")));
    }

    void unquotedPictureListIsAccepted()
    {
        writeRaw("[General]\nPicIDs=4711, 4712,4713\n");
        TDM dm(environment());
        QCOMPARE(dm.PicIDs(), (QStringList{"4711", "4712", "4713"}));
        QVERIFY(m_errors.isEmpty());
    }

    // A stored export folder that is relative or climbs with ".." is
    // reported and replaced by the default folder, which is stored, so the
    // message comes once.
    void unsafeExportFolderIsRefusedOnce_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("notMade");
        QTest::newRow("relative") << QStringLiteral("Export/Neu") << QStringLiteral("cwd/Export");
        QTest::newRow("dot dot") << m_dir.filePath(QStringLiteral("home/a/../Raus")) << QStringLiteral("home/Raus");
    }
    void unsafeExportFolderIsRefusedOnce()
    {
        QFETCH(QString, folder);
        QFETCH(QString, notMade);
        QDir(m_dir.path()).mkpath(QStringLiteral("cwd"));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(m_dir.filePath(QStringLiteral("cwd")));
        const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });
        {
            QSettings s = stored();
            s.setValue(QStringLiteral("DokuPath"), folder);
        }
        const QString fallback = QDir::toNativeSeparators(documents() + QStringLiteral("/Tarnvik/"));
        {
            TDM dm(environment());
            QCOMPARE(dm.DokuPath(), fallback);
            QCOMPARE(m_errors.size(), 1);
            QVERIFY2(m_errors.first().contains(folder) && m_errors.first().contains(fallback), qPrintable(m_errors.first()));
        }
        QVERIFY(!QFileInfo::exists(m_dir.filePath(notMade)));
        m_errors.clear();
        TDM again(environment());
        QCOMPARE(again.DokuPath(), fallback);
        QVERIFY(m_errors.isEmpty());
    }

    TDMEnvironment withKeychain(const std::shared_ptr<MemorySecretStore> &keychain) const
    {
        TDMEnvironment env = environment();
        env.secrets = keychain;
        return env;
    }

    // A changed password goes to the keychain at once and out of the file
    // when the keychain takes it. Where the keychain refuses it, or has not
    // answered by the end, it is kept in the file rather than lost.
    void changedPasswordEndsInTheKeychainOrTheFile_data()
    {
        QTest::addColumn<QString>("keychain");
        QTest::addColumn<QString>("inFile");
        QTest::newRow("taken") << QStringLiteral("neu") << QString();
        QTest::newRow("refused") << QStringLiteral("alt") << QStringLiteral("neu");
        QTest::newRow("no answer") << QStringLiteral("alt") << QStringLiteral("neu");
    }
    void changedPasswordEndsInTheKeychainOrTheFile()
    {
        QFETCH(QString, keychain);
        QFETCH(QString, inFile);
        const QByteArray row = QTest::currentDataTag();
        // Found in plain text, the password moves into the keychain.
        writeRaw("[General]\nPasswort=alt\n");
        auto store = std::make_shared<MemorySecretStore>();
        {
            TDM dm(withKeychain(store));
            QCOMPARE(dm.Passwort(), QStringLiteral("alt"));
            QTRY_VERIFY(dm.PasswortInKeychain());
            QVERIFY(!stored().contains(QStringLiteral("Passwort")));
            store->available = row != "refused";
            store->held = row == "no answer";
            dm.SetPasswort(QStringLiteral("neu"));
            if (row == "refused")
                QTRY_COMPARE(stored().value(QStringLiteral("Passwort")).toString(), inFile);
        }
        QCOMPARE(stored().value(QStringLiteral("Passwort"), QString()).toString(), inFile);
        QCOMPARE(store->values.value(QStringLiteral("Passwort")), keychain);
        store->answerHeld();
    }

    // A keychain that does not answer at the start leaves the password
    // unknown: other changed texts must not store it as empty, which the
    // next start would move into the keychain over the real one. A password
    // that did not change is never written again.
    void onlyAChangedPasswordIsWritten_data()
    {
        QTest::addColumn<bool>("available");
        QTest::newRow("keychain answers") << true;
        QTest::newRow("keychain fails") << false;
    }
    void onlyAChangedPasswordIsWritten()
    {
        QFETCH(bool, available);
        writeRaw("[General]\nName=alt\n");
        auto store = std::make_shared<MemorySecretStore>();
        store->values.insert(QStringLiteral("Passwort"), QStringLiteral("geheim"));
        store->available = available;
        {
            TDM dm(withKeychain(store));
            QTRY_VERIFY(dm.PasswortKnown());
            QCOMPARE(dm.Passwort(), available ? QStringLiteral("geheim") : QString());
            dm.SetName(QStringLiteral("neu"));
            dm.SetEMail(QStringLiteral("neu@example.org"));
            dm.SetPasswort(dm.Passwort());
        }
        QCOMPARE(stored().value(QStringLiteral("Name")).toString(), QStringLiteral("neu"));
        QVERIFY(!stored().contains(QStringLiteral("Passwort")));
        QCOMPARE(store->writes, QStringList());
        store->available = true;
        TDM again(withKeychain(store));
        QTRY_COMPARE(again.Passwort(), QStringLiteral("geheim"));
    }

    // The settings file read from its bytes: the settings store's own syntax,
    // with text that is not UTF-8 taken as Windows-1252.
    void iniValueInTheWindowsCodePage_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("plain") << QByteArray("[General]\nName = J\xfcrgen  \n") << QVariant(QStringLiteral("Jürgen"));
        QTest::newRow("utf-8") << QByteArray("Name=J\xc3\xbcrgen") << QVariant(QStringLiteral("Jürgen"));
        QTest::newRow("quoted") << QByteArray("Name=\" a, \xe4 \" ; note") << QVariant(QStringLiteral(" a, ä "));
        QTest::newRow("escapes") << QByteArray("Name=a\\r\\n\\x20ac\\\"\xfc") << QVariant(QStringLiteral("a\r\n€\"ü"));
        QTest::newRow("list") << QByteArray("Name=1, \xfc ,3") << QVariant(QStringList{"1", "ü", "3"});
        QTest::newRow("last wins") << QByteArray("Name=a\nName=b") << QVariant(QStringLiteral("b"));
        QTest::newRow("other section") << QByteArray("[Fenster]\nName=x") << QVariant();
        QTest::newRow("typed") << QByteArray("Name=@ByteArray(\xfc)") << QVariant();
        QTest::newRow("doubled at") << QByteArray("Name=@@\xfc") << QVariant(QStringLiteral("@ü"));
        QTest::newRow("comment line") << QByteArray(";Name=x\n") << QVariant();
    }
    void iniValueInTheWindowsCodePage()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QVariant, value);
        QCOMPARE(tarnvik::readIniValueCp1252(ini, u"Name"), value);
    }

    void classifyUrl_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("forum");
        QTest::addColumn<int>("thread");
        QTest::addColumn<bool>("afterHash");

        // The state before each row: thread 99 after a "#".
        QTest::newRow("section 1 index") << "http://h/cgi-bin/holzbearbeitungsmaschinen/webbbs_config.pl" << 1 << 0 << true;
        QTest::newRow("market wins over forum") << "http://h/forum/marktplatz/read/5" << 2 << 5 << false;
        QTest::newRow("forum wins over machines") << "http://h/holzbearbeitungsmaschinen/forum/" << 0 << 0 << true;
        QTest::newRow("capital marker") << "HTTP://H/CGI-BIN/FORUM/WEBBBS_CONFIG.PL/READ/123" << 0 << 123 << false;
        QTest::newRow("single message") << "http://h/cgi-bin/forum/webbbs_config.pl/read/4711" << 0 << 4711 << false;
        QTest::newRow("whole thread") << "http://h/cgi-bin/forum/webbbs_config.pl/read/17/thread#17" << 0 << 17 << true;
        QTest::newRow("no digit at end") << "http://h/cgi-bin/forum/webbbs_config.pl/read/17/" << 0 << 0 << false;
        QTest::newRow("too large") << "http://h/forum/read/2147483648" << 0 << 0 << false;
        QTest::newRow("largest") << "http://h/forum/read/2147483647" << 0 << 2147483647 << false;
        QTest::newRow("long digit run") << "http://h/forum/read/99999999999999999999999" << 0 << 0 << false;
        QTest::newRow("outside keeps thread") << "http://bilder.example/ASP/Bld_D.asp?id=5" << 3 << 99 << true;
        QTest::newRow("page address") << "http://h/cgi-bin/forum/webbbs_config.pl/page/3" << 0 << 0 << true;
    }

    void classifyUrl()
    {
        QFETCH(QString, address);
        QFETCH(int, forum);
        QFETCH(int, thread);
        QFETCH(bool, afterHash);
        TDM dm(environment());
        dm.ClassifyUrl(QStringLiteral("http://h/forum/read/99#99"));
        dm.ClassifyUrl(address);
        QCOMPARE(int(dm.Forum()), forum);
        QCOMPARE(dm.ThreadNumber(), thread);
        QCOMPARE(dm.NumberAfterHash(), afterHash);
        QCOMPARE(dm.CurrentUrl(), address.toLower());
    }

    void pictureHistory()
    {
        writeRaw("[General]\nPicIDs=\"1,2,3,4,5,6,7,8,9,10,11,12\"\n");
        TDM dm(environment());
        QCOMPARE(dm.PicIDs().size(), 12);
        dm.AddPicID(QStringLiteral("5")); // already there: not moved
        QVERIFY(!dm.PicIDsChanged());
        QCOMPARE(dm.PicIDs().first(), QStringLiteral("1"));
        dm.AddPicID(QStringLiteral("100"));
        // An overlong stored history loses only its eleventh entry per addition.
        QCOMPARE(dm.PicIDs().size(), 12);
        QCOMPARE(dm.PicIDs().first(), QStringLiteral("100"));
        QVERIFY(!dm.PicIDs().contains(QStringLiteral("10")));
        QVERIFY(dm.PicIDs().contains(QStringLiteral("11")));

        QFile::remove(settingsFile());
        TDM fresh(environment());
        for (int i = 1; i <= 11; ++i)
            fresh.AddPicID(QString::number(i));
        QCOMPARE(fresh.PicIDs().size(), 10);
        QCOMPARE(fresh.PicIDs().first(), QStringLiteral("11"));
        QCOMPARE(fresh.PicIDs().last(), QStringLiteral("2"));
    }

    void commaText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("list");
        QTest::newRow("numbers") << "1,22,333" << QStringList{"1", "22", "333"};
        QTest::newRow("quoted") << "\"a b\",\"c,d\",\"e\"\"f\"" << QStringList{"a b", "c,d", "e\"f"};
        QTest::newRow("empty") << "" << QStringList{};
    }

    void commaText()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, list);
        QCOMPARE(tarnvik::toCommaText(list), text);
        QCOMPARE(tarnvik::fromCommaText(text), list);
    }

    // Reading also takes what writing never makes.
    void commaTextReading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("list");
        QTest::newRow("blank after a comma") << "1, 22" << QStringList{"1", "22"};
        QTest::newRow("blank after a quoted entry's comma") << "\"a b\", c" << QStringList{"a b", "c"};
        QTest::newRow("blanks part entries") << " 1 2,3 " << QStringList{"1", "2", "3"};
        QTest::newRow("empty entries") << "1,,2," << QStringList{"1", "", "2", ""};
        QTest::newRow("open quote") << "\"offen" << QStringList{"offen"};
    }

    void commaTextReading()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, list);
        QCOMPARE(tarnvik::fromCommaText(text), list);
    }

    void commaTextReadsNoMoreEntriesThanAsked()
    {
        QCOMPARE(tarnvik::fromCommaText(QString(5000, QLatin1Char(',')), 10).size(), 10);
    }

    void errorTextGetsAPeriod()
    {
        QCOMPARE(tarnvik::standardErrorText(QStringLiteral("Datei fehlt")), QStringLiteral("Datei fehlt."));
        QCOMPARE(tarnvik::standardErrorText(QStringLiteral("Fehler!")), QStringLiteral("Fehler!"));
        QCOMPARE(tarnvik::standardErrorText(QStringLiteral("Ende.")), QStringLiteral("Ende."));
    }
};

QTEST_GUILESS_MAIN(TestState)
#include "tst_state.moc"
