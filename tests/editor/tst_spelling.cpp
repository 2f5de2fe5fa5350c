// Spelling without a window: which words are checked, the German dictionary
// with the workshop's list, word lists, the underlines of a document and the
// switch in the settings.
#include "editor/SpellHighlighter.h"
#include "editor/SpellSetting.h"
#include "editor/SpellWords.h"
#include "editor/Speller.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

using namespace tarnvik::spelling;

namespace {

const QString kWorkshopList = QStringLiteral(TARNVIK_SOURCE_DIR "/resources/spelling/Werkstattwoerter.txt");

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The underlined words of a document.
QStringList underlined(const QTextDocument &doc)
{
    QStringList words;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
            if (range.format.underlineStyle() == QTextCharFormat::WaveUnderline)
                words << block.text().mid(range.start, range.length);
        }
    }
    return words;
}

} // namespace

class TestSpelling : public QObject
{
    Q_OBJECT

    std::shared_ptr<Speller> m_german;

private slots:
    void initTestCase();

    void flaggedWords_data();
    void flaggedWords();
    void isoDictionaryWithUmlauts();
    void wordLists_data();
    void wordLists();
    void addedWordPersists();
    void underlinesFollowTheDocument();
    void switchInSettings_data();
    void switchInSettings();
};

void TestSpelling::initTestCase()
{
    m_german = Speller::load(findGermanDictionary(), {kWorkshopList});
}

void TestSpelling::flaggedWords_data()
{
    QTest::addColumn<QString>("text"); // lines, a [code] block may span them
    QTest::addColumn<QStringList>("flagged");
    QTest::newRow("umlauts and ß") << "Grüße aus der Werkstatt, das Maß stimmt. Öl drauf!" << QStringList();
    QTest::newRow("nouns and compounds") << "Die Hobelbank steht neben der Werkbank." << QStringList();
    QTest::newRow("workshop words") << "Oberfräse, Schwalbenschwanzverbindung, Zinkenfräsvorrichtung, "
                                       "Leimholzplatte, Bandsägenblatt, Wasserfleckenbeize, Tungöl"
                                    << QStringList();
    QTest::newRow("workshop words inflected") << "Zwei Oberfräsen auf drei Leimholzplatten" << QStringList();
    QTest::newRow("slips") << "Die Hobelbnak ist shcön und shcön" << QStringList{"Hobelbnak", "shcön", "shcön"};
    QTest::newRow("tags and parameters")
        << "[b]fett[/b] [color=red]rot[/color] [url=http://x.test/a]Seite[/url] [List]\n[*]Hobelbnak" << QStringList{"Hobelbnak"};
    QTest::newRow("picture markup")
        << "[center]&lt;img src='http://bilder.test/Bilder/B12.jpg' border='3'&gt;[/center]" << QStringList();
    QTest::newRow("link label checked")
        << "&lt;a href=\"http://www.werkstatt.test\" target=\"_blank\"&gt;Hobelbnak&lt;/a&gt;" << QStringList{"Hobelbnak"};
    QTest::newRow("addresses") << "Siehe www.holzwerken.de, (https://forum.test/read/5) oder hans.meier@example.org"
                               << QStringList();
    QTest::newRow("numbers and dimensions") << "18mm Multiplex, 2x4 Latten, 3,5 m, M8 und 1.000 Stück" << QStringList();
    QTest::newRow("code block") << "[code]fehlr ohne\nPrüfng[/code] danach Fehlr" << QStringList{"Fehlr"};
    QTest::newRow("abbreviations and capitals") << "z.B. bzw. usw. ca. MDF und OSB" << QStringList();
    QTest::newRow("entities, hyphens, apostrophes") << "Holz&amp;Leim, Nut-und-Feder-Verbindung, geht's"
                                                    << QStringList();
}

void TestSpelling::flaggedWords()
{
    QFETCH(QString, text);
    QFETCH(QStringList, flagged);
    if (!m_german)
        QSKIP("no German dictionary on this machine");
    QStringList found;
    bool inCode = false;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const LineWords scan = scanLine(line, inCode);
        inCode = scan.inCode;
        for (const Word &w : scan.words) {
            const QString word = line.mid(w.start, w.length);
            if (!m_german->check(word, w.dotAfter))
                found << word;
        }
    }
    QCOMPARE(found.join(QLatin1Char(' ')), flagged.join(QLatin1Char(' ')));
}

void TestSpelling::isoDictionaryWithUmlauts()
{
    // A dictionary in ISO-8859-1, as the system's German ones are: words
    // with umlauts are known and suggested in their own letters.
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("de_DE.aff")), "SET ISO8859-1\nTRY esianrtolcdugmphbyfvkwzäöüß\n");
    writeFile(dir.filePath(QStringLiteral("de_DE.dic")), "4\nund\nMa\xdf\n\xd6l\nGr\xfc\xdf" "e\n");
    const DictionaryFiles files = findGermanDictionary({dir.filePath(QStringLiteral("leer")), dir.path()});
    QCOMPARE(files.dic, dir.filePath(QStringLiteral("de_DE.dic")));
    std::unique_ptr<Speller> speller = Speller::load(files, {});
    QVERIFY(speller);
    QVERIFY(speller->check(QStringLiteral("Maß")));
    QVERIFY(speller->check(QStringLiteral("Öl")));
    QVERIFY(!speller->check(QStringLiteral("Gruße")));
    QCOMPARE(speller->suggestions(QStringLiteral("Gruße")).value(0), QStringLiteral("Grüße"));
    // No letters for it in the dictionary's code page: no word it could know.
    QVERIFY(speller->check(QStringLiteral("Łódź")));

    QVERIFY(!Speller::load(findGermanDictionary({dir.filePath(QStringLiteral("leer"))}), {}));
}

void TestSpelling::wordLists_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("ordinary") << QByteArray("Oberfr\xc3\xa4se\nZinkenlehre\n") << QStringList{"Oberfräse", "Zinkenlehre"};
    QTest::newRow("crlf, blanks, comments, byte order mark")
        << QByteArray("\xef\xbb\xbf" "Hobel\r\n  Beitel  \r\n\r\n# Kommentar\r\n") << QStringList{"Hobel", "Beitel"};
    QTest::newRow("no words") << QByteArray("zwei W\xc3\xb6rter\n") + QByteArray(kMaxWordLength + 1, 'a')
                              << QStringList();
    QTest::newRow("too large") << QByteArray(kMaxListBytes + 1, '\n') << QStringList();
}

void TestSpelling::wordLists()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, words);
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("Liste.txt"));
    writeFile(list, bytes);
    QCOMPARE(readWordList(list), words);
}

void TestSpelling::addedWordPersists()
{
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("Eigene-Woerter.txt"));
    writeFile(list, "Hobel");
    QString error;
    QVERIFY(appendToWordList(list, QStringLiteral("Dübelfräse"), error));
    QVERIFY(appendToWordList(list, QStringLiteral("Dübelfräse"), error));
    QCOMPARE(readWordList(list), QStringList({"Hobel", "Dübelfräse"}));
    QVERIFY(!appendToWordList(dir.filePath(QStringLiteral("fehlt/Liste.txt")), QStringLiteral("x"), error));
    QVERIFY(!error.isEmpty());
}

void TestSpelling::underlinesFollowTheDocument()
{
    if (!m_german)
        QSKIP("no German dictionary on this machine");
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("Der Tishc und die Hobelbnak\n[code]Tishc\nnoch Code[/code] Tishc"));
    doc.documentLayout(); // as a view lays it out: only then are changes announced
    SpellHighlighter highlighter(&doc);
    QSignalSpy checked(&highlighter, &SpellHighlighter::checked);
    highlighter.setSpeller(m_german);
    QVERIFY(checked.wait());
    QCOMPARE(underlined(doc), QStringList({"Tishc", "Hobelbnak", "Tishc"}));
    QCOMPARE(highlighter.flaggedWordAt(int(doc.toPlainText().indexOf(QLatin1String("Hobelbnak"))) + 3)->word,
             QStringLiteral("Hobelbnak"));
    QVERIFY(!highlighter.flaggedWordAt(1));

    // Ignored, a word is unflagged everywhere in the document.
    highlighter.ignore(QStringLiteral("Tishc"));
    QCOMPARE(underlined(doc), QStringList{"Hobelbnak"});

    // Typing is looked up once it pauses.
    QTextCursor cursor(&doc);
    cursor.insertText(QStringLiteral("Sclecht: "));
    QVERIFY(!highlighter.isChecked());
    QVERIFY(checked.wait());
    QCOMPARE(underlined(doc), QStringList({"Sclecht", "Hobelbnak"}));

    highlighter.setActive(false);
    QCOMPARE(underlined(doc), QStringList());
}

void TestSpelling::switchInSettings_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("on");
    QTest::newRow("not stored") << QByteArray() << true;
    QTest::newRow("off") << QByteArray("[Rechtschreibung]\nAn=false\n") << false;
    QTest::newRow("on") << QByteArray("[Rechtschreibung]\nAn=true\n") << true;
    QTest::newRow("odd value") << QByteArray("[Rechtschreibung]\nAn=vielleicht\n") << true;
}

void TestSpelling::switchInSettings()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, on);
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("Tarnvik.conf"));
    writeFile(name, file);
    const SettingsOpener previous =
        setSettingsOpener([name] { return std::make_unique<QSettings>(name, QSettings::IniFormat); });
    QCOMPARE(isSwitchedOn(), on);
    // Unchanged, the file stays as it is.
    setSwitchedOn(on);
    QFile read(name);
    QVERIFY(read.open(QIODevice::ReadOnly));
    QCOMPARE(read.readAll(), file);
    setSwitchedOn(!on);
    QCOMPARE(isSwitchedOn(), !on);
    setSettingsOpener(previous);
}

QTEST_MAIN(TestSpelling)
#include "tst_spelling.moc"
