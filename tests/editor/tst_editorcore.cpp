// The editor's logic without its window: body positions, markup edits on a
// text document, subject rules, post files and drafts, picture rules.
#include "editor/BodyText.h"
#include "editor/Markup.h"
#include "editor/PictureChoice.h"
#include "editor/PostFile.h"
#include "state/Endpoints.h"
#include "state/TextFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>

using namespace tarnvik;

namespace {
const QString kPicture = markup::pictureLine(QStringLiteral("http://bilder.test/Bilder/B12.jpg"), QString());
const QString kLink = markup::linkMarkup(QStringLiteral("http://www.werkstatt.de"), QStringLiteral("Werkstatt"));

QString listLines()
{
    return QStringLiteral("[List]\r\n[*]\r\n[*]\r\n[*]\r\n[*]\r\n[/List]");
}

// A document holding a CR LF body, with the selection given in CR LF counts.
QTextCursor prepare(QTextDocument &doc, const QString &crLfBody, int selStart, int selLength)
{
    doc.setPlainText(body::toLf(crLfBody));
    const QString lf = body::documentText(doc);
    QTextCursor cursor(&doc);
    cursor.setPosition(int(body::lfPosition(lf, selStart)));
    cursor.setPosition(int(body::lfPosition(lf, selStart + selLength)), QTextCursor::KeepAnchor);
    return cursor;
}

QTextCursor run(const QString &command, QTextCursor cursor)
{
    if (command == QLatin1String("sup") || command == QLatin1String("sub"))
        return markup::insertEscapedTag(cursor, command);
    if (command == QLatin1String("list"))
        return markup::insertList(cursor);
    if (command == QLatin1String("link"))
        return markup::insertLink(cursor, kLink);
    if (command == QLatin1String("picture"))
        return markup::insertPictureLine(cursor, kPicture);
    return markup::insertTag(cursor, command);
}
} // namespace

class TestEditorCore : public QObject
{
    Q_OBJECT

private slots:
    void positions_data();
    void positions();
    void lines_data();
    void lines();
    void documentTextKeepsCharacters();

    void markupCommands_data();
    void markupCommands();
    void commandIsOneUndoStep();
    void markupTexts();

    void answerSubject_data();
    void answerSubject();
    void pictureMarker_data();
    void pictureMarker();
    void templateCaret_data();
    void templateCaret();

    void fileLineEnds_data();
    void fileLineEnds();
    void fileEncoding_data();
    void fileEncoding();
    void fileRoundTrip();
    void draftKeepsBodyExactly_data();
    void draftKeepsBodyExactly();
    void fileErrors();
    void nonTextRefused_data();
    void nonTextRefused();
    void draftKeeper();
    void draftKeeperFailure();
    void answerDraftsBounded();

    void wholeNumbers_data();
    void wholeNumbers();
    void digitFilter_data();
    void digitFilter();
    void recentPictureEntries();
};

void TestEditorCore::positions_data()
{
    QTest::addColumn<QString>("lfText");
    QTest::addColumn<int>("lfPos");
    QTest::addColumn<int>("crLfPos");
    QTest::newRow("empty") << QString() << 0 << 0;
    QTest::newRow("first line") << QStringLiteral("ab\ncd") << 2 << 2;
    QTest::newRow("after break") << QStringLiteral("ab\ncd") << 3 << 4;
    QTest::newRow("end") << QStringLiteral("ab\ncd") << 5 << 6;
    QTest::newRow("two breaks") << QStringLiteral("\n\nx") << 2 << 4;
}

void TestEditorCore::positions()
{
    QFETCH(QString, lfText);
    QFETCH(int, lfPos);
    QFETCH(int, crLfPos);
    QCOMPARE(body::crLfPosition(lfText, lfPos), crLfPos);
    QCOMPARE(body::lfPosition(lfText, crLfPos), lfPos);
    // Between CR and LF counts as before the break.
    if (lfPos > 0 && lfText.at(lfPos - 1) == QLatin1Char('\n'))
        QCOMPARE(body::lfPosition(lfText, crLfPos - 1), lfPos - 1);
    QCOMPARE(body::toCrLf(lfText).size(), body::crLfPosition(lfText, lfText.size()));
}

void TestEditorCore::lines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("one break") << QStringLiteral("\r\n") << QStringList{QString()};
    QTest::newRow("crlf, final break") << QStringLiteral("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("no final break") << QStringLiteral("a\r\nb") << QStringList{"a", "b"};
    QTest::newRow("lone cr and lf") << QStringLiteral("a\rb\nc") << QStringList{"a", "b", "c"};
    QTest::newRow("lf cr is two breaks") << QStringLiteral("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("empty lines kept") << QStringLiteral("a\r\n\r\n\r\n") << QStringList{"a", "", ""};
}

void TestEditorCore::lines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(splitLines(text), lines);
    QCOMPARE(splitLines(joinLines(lines, QStringLiteral("\r\n"))), lines);
}

void TestEditorCore::documentTextKeepsCharacters()
{
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("a\u00a0b\r\nc\rd"));
    QCOMPARE(body::documentText(doc), QStringLiteral("a\u00a0b\nc\nd"));
    QCOMPARE(body::toLf(QStringLiteral("a\u2029b\u2028c\r\nd")), QStringLiteral("a\nb\nc\nd"));
}

void TestEditorCore::markupCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("caret");

    // Square-bracket tags: caret between an empty pair, after a wrapped one.
    QTest::newRow("b at 5") << "b" << "Hallo Welt" << 5 << 0 << "Hallo[b][/b] Welt" << 8;
    QTest::newRow("i empty body") << "i" << "" << 0 << 0 << "[i][/i]" << 3;
    QTest::newRow("red around Hobel") << "red" << "Der Hobel ist" << 4 << 5 << "Der [red]Hobel[/red] ist" << 20;
    QTest::newRow("center selection") << "center" << "x" << 0 << 1 << "[center]x[/center]" << 18;
    QTest::newRow("big at end") << "big" << "ab" << 2 << 0 << "ab[big][/big]" << 7;
    QTest::newRow("code across a break") << "code" << "a\r\nb" << 0 << 4 << "[code]a\r\nb[/code]" << 17;
    QTest::newRow("b in second line") << "b" << "a\r\nHobel" << 3 << 5 << "a\r\n[b]Hobel[/b]" << 15;
    QTest::newRow("i after break") << "i" << "a\r\n\r\n" << 5 << 0 << "a\r\n\r\n[i][/i]" << 8;

    // Escaped tags: a blank in the empty pair, caret before it.
    QTest::newRow("sup empty") << "sup" << "x" << 1 << 0 << "x&lt;sup&gt; &lt;/sup&gt;" << 12;
    QTest::newRow("sub around 2") << "sub" << "H2O" << 1 << 1 << "H&lt;sub&gt;2&lt;/sub&gt;O" << 25;
    QTest::newRow("sup in second line") << "sup" << "a\r\nm2" << 5 << 0 << "a\r\nm2&lt;sup&gt; &lt;/sup&gt;" << 16;

    QTest::newRow("link replaces selection") << "link" << "Siehe Werkstatt!" << 6 << 9 << "Siehe " + kLink + "!"
                                             << 6 + int(kLink.size());
    QTest::newRow("link at caret") << "link" << "a\r\nb" << 4 << 0 << "a\r\nb" + kLink << 4 + int(kLink.size());

    // Blocks go after the caret's line, whole.
    QTest::newRow("list in the middle") << "list" << "Text\r\nMehr" << 2 << 0 << "Text\r\n" + listLines() + "\r\nMehr" << 14;
    QTest::newRow("list after last line") << "list" << "Ende" << 2 << 0 << "Ende\r\n" + listLines() << 14;
    QTest::newRow("list after empty last line") << "list" << "abc\r\n" << 5 << 0 << "abc\r\n\r\n" + listLines() << 15;
    QTest::newRow("list into empty body") << "list" << "" << 0 << 0 << "\r\n" + listLines() << 10;
    QTest::newRow("list after selection start") << "list" << "a\r\nb\r\nc" << 0 << 4
                                               << "a\r\n" + listLines() + "\r\nb\r\nc" << 11;
    QTest::newRow("list, caret at line end") << "list" << "ab\r\ncd" << 2 << 0 << "ab\r\n" + listLines() + "\r\ncd" << 12;
    QTest::newRow("picture in the middle") << "picture" << "Text\r\nMehr" << 0 << 0
                                           << "Text\r\n" + kPicture + "\r\nMehr" << 8 + int(kPicture.size());
    QTest::newRow("picture after last line") << "picture" << "Ende" << 4 << 0 << "Ende\r\n" + kPicture
                                             << 6 + int(kPicture.size());
    QTest::newRow("picture into empty body") << "picture" << "" << 0 << 0 << "\r\n" + kPicture << 2 + int(kPicture.size());
}

void TestEditorCore::markupCommands()
{
    QFETCH(QString, command);
    QFETCH(QString, body);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, expected);
    QFETCH(int, caret);

    QTextDocument doc;
    const QTextCursor result = run(command, prepare(doc, body, selStart, selLength));
    const QString lf = body::documentText(doc);
    QCOMPARE(body::toCrLf(lf), expected);
    QVERIFY(!result.hasSelection());
    QCOMPARE(body::crLfPosition(lf, result.position()), caret);
    QVERIFY(!body::toCrLf(lf).contains(QLatin1Char('<')));
}

void TestEditorCore::commandIsOneUndoStep()
{
    QTextDocument doc;
    const QTextCursor afterTag = markup::insertTag(prepare(doc, QStringLiteral("Der Hobel"), 4, 5), QStringLiteral("b"));
    markup::insertList(afterTag);
    doc.undo();
    QCOMPARE(doc.toPlainText(), QStringLiteral("Der [b]Hobel[/b]"));
    doc.undo();
    QCOMPARE(doc.toPlainText(), QStringLiteral("Der Hobel"));
}

void TestEditorCore::markupTexts()
{
    QCOMPARE(kLink, QStringLiteral("&lt;a href=\"http://www.werkstatt.de\" target=\"_blank\"&gt;Werkstatt&lt;/a&gt;"));
    QCOMPARE(markup::sizeAttributes(QStringLiteral("640"), QStringLiteral("480")),
             QStringLiteral(" Width=\"640\" Height=\"480\""));
    QCOMPARE(markup::sizeAttributes(QStringLiteral("640"), QString()), QString());
    QCOMPARE(markup::sizeAttributes(QString(), QStringLiteral("480")), QString());
    QCOMPARE(markup::pictureLine(QStringLiteral("A"), QStringLiteral(" Width=\"1\" Height=\"2\"")),
             QStringLiteral("[center]&lt;img src=\"A\" Width=\"1\" Height=\"2\" border=\"3\"&gt;[/center]"));
    QCOMPARE(markup::recentPictureLine(QStringLiteral("A")),
             QStringLiteral("[center]&lt;img src='A' border='3'&gt;[/center]"));
}

void TestEditorCore::answerSubject_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("subject");
    QTest::newRow("plain") << "Hobelbank" << "Re: Hobelbank";
    QTest::newRow("Re inside a word") << "Reparatur am Hobel" << "Re: Reparatur am Hobel";
    QTest::newRow("Re in the middle") << "Frage: Re-Import" << "Re: Frage: Re-Import";
    QTest::newRow("already an answer") << "Re: Hobelbank" << "Re: Hobelbank";
    QTest::newRow("capitals") << "RE: Hobelbank" << "RE: Hobelbank";
    QTest::newRow("leading blanks") << "  re:Hobelbank" << "  re:Hobelbank";
    QTest::newRow("Re without colon") << "Re Hobelbank" << "Re: Re Hobelbank";
    QTest::newRow("empty") << "" << "Re: ";
}

void TestEditorCore::answerSubject()
{
    QFETCH(QString, title);
    QFETCH(QString, subject);
    QCOMPARE(markup::answerSubject(title), subject);
}

void TestEditorCore::pictureMarker_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("marked");
    QTest::newRow("plain") << "Hobelbank" << "Hobelbank [mit Bild]";
    QTest::newRow("marked already") << "Hobelbank [mit Bild]" << "Hobelbank [mit Bild]";
    QTest::newRow("inside a word") << "Bilderrahmen" << "Bilderrahmen";
    QTest::newRow("other case") << "bilder" << "bilder [mit Bild]";
    QTest::newRow("empty") << "" << " [mit Bild]";
}

void TestEditorCore::pictureMarker()
{
    QFETCH(QString, subject);
    QFETCH(QString, marked);
    QCOMPARE(markup::subjectWithPictureMarker(subject), marked);
}

void TestEditorCore::templateCaret_data()
{
    QTest::addColumn<QString>("lfBody");
    QTest::addColumn<int>("caret");
    QTest::newRow("three lines") << "Hallo,\n\nGruß" << 8;
    QTest::newRow("two lines") << "Hallo,\nGruß" << 0;
    QTest::newRow("final break not a line") << "Hallo,\nGruß\n" << 0;
    QTest::newRow("empty third line") << "a\nb\n\n" << 4;
    QTest::newRow("one line") << "Hallo" << 0;
}

void TestEditorCore::templateCaret()
{
    QFETCH(QString, lfBody);
    QFETCH(int, caret);
    QCOMPARE(markup::templateCaretPosition(lfBody), caret);
}

void TestEditorCore::fileLineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("bodyLines");
    QTest::addColumn<QString>("subject");
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\nBetreff\r\n") << QStringList{"a", "b"} << "Betreff";
    QTest::newRow("lf") << QByteArray("a\nb\nBetreff") << QStringList{"a", "b"} << "Betreff";
    QTest::newRow("cr") << QByteArray("a\rb\rBetreff\r") << QStringList{"a", "b"} << "Betreff";
    QTest::newRow("one line") << QByteArray("Betreff\r\n") << QStringList{} << "Betreff";
    QTest::newRow("empty subject") << QByteArray("a\r\n\r\n") << QStringList{"a"} << "";
}

void TestEditorCore::fileLineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, bodyLines);
    QFETCH(QString, subject);
    postfile::Post post;
    QVERIFY(postfile::decode(decodeText(bytes), post));
    QCOMPARE(post.bodyLines, bodyLines);
    QCOMPARE(post.subject, subject);
}

void TestEditorCore::fileEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf-8") << QByteArray("Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac") << QStringLiteral("Grüße €");
    QTest::newRow("utf-8 with byte order mark") << QByteArray("\xef\xbb\xbf" "\xc3\xa4") << QStringLiteral("ä");
    QTest::newRow("windows-1252") << QByteArray("Gr\xfc\xdf" "e \x80 \x84\x93") << QStringLiteral("Grüße € „“");
    QTest::newRow("cut utf-8 sequence") << QByteArray("a\xc3") << QStringLiteral("aÃ");
    QTest::newRow("undefined 1252 byte") << QByteArray("\x81") << QStringLiteral("\u0081");
}

void TestEditorCore::fileEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeText(bytes), text);
}

void TestEditorCore::fileRoundTrip()
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("Beitrag.txt"));
    const postfile::Post post{{QStringLiteral("Grüße aus der Werkstatt"), QString(), QStringLiteral("Maß: 3 mm")},
                              QStringLiteral("Hobelbank über Öl")};
    QString error;
    QVERIFY(postfile::write(name, post, error));
    QFile file(name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QStringLiteral("Grüße aus der Werkstatt\r\n\r\nMaß: 3 mm\r\nHobelbank über Öl\r\n").toUtf8());

    postfile::Post back;
    QVERIFY(postfile::read(name, back, error));
    QCOMPARE(back.bodyLines, post.bodyLines);
    QCOMPARE(back.subject, post.subject);

    // A subject never spills into a second line of the file.
    QVERIFY(postfile::write(name, {{}, QStringLiteral("a\nb")}, error));
    QVERIFY(postfile::read(name, back, error));
    QCOMPARE(back.subject, QStringLiteral("a b"));
}

void TestEditorCore::draftKeepsBodyExactly_data()
{
    QTest::addColumn<QString>("lfBody");
    QTest::newRow("no final break") << "Hallo,\n\nGruß";
    QTest::newRow("final break") << "Gruß\n";
    QTest::newRow("empty lines at the end") << "a\n\n";
    QTest::newRow("only a break") << "\n";
    QTest::newRow("empty") << "";
}

void TestEditorCore::draftKeepsBodyExactly()
{
    QFETCH(QString, lfBody);
    postfile::Post back;
    QVERIFY(postfile::decode(decodeText(postfile::encode(postfile::draftPost(lfBody, QStringLiteral("B")))), back));
    QCOMPARE(postfile::draftBody(back), lfBody);
    QCOMPARE(back.subject, QStringLiteral("B"));
}

void TestEditorCore::fileErrors()
{
    QTemporaryDir dir;
    postfile::Post post;
    QString error;

    const QString missing = dir.filePath(QStringLiteral("fehlt.txt"));
    QVERIFY(!postfile::read(missing, post, error));
    QVERIFY2(error.startsWith(QStringLiteral("Datei %1 kann nicht geöffnet werden. ").arg(missing)), qPrintable(error));

    const QString empty = dir.filePath(QStringLiteral("leer.txt"));
    QFile(empty).open(QIODevice::WriteOnly);
    QVERIFY(!postfile::read(empty, post, error));
    QCOMPARE(error, QStringLiteral("Listenindex überschreitet das Maximum (-1)"));

    // A body or subject past its bound is refused, whatever the file's size.
    const QString big = dir.filePath(QStringLiteral("gross.txt"));
    const QByteArray longest(postfile::kMaxBodyLength, 'a');
    const QByteArray subject(postfile::kMaxSubjectLength, 'b');
    const QString tooLong = QStringLiteral("Datei %1 kann nicht geöffnet werden. Sie ist für einen Beitrag zu lang: "
                                           "höchstens 65536 Zeichen Text und 1024 Zeichen Betreff")
                                .arg(big);
    for (const QByteArray &bytes : {longest + "a\r\n" + subject, longest + "\r\n" + subject + "b",
                                    QByteArray(postfile::kMaxFileSize + 1, '\n')}) {
        QFile bigFile(big);
        QVERIFY(bigFile.open(QIODevice::WriteOnly));
        bigFile.write(bytes);
        bigFile.close();
        QVERIFY(!postfile::read(big, post, error));
        QCOMPARE(error, tooLong);
    }
    QFile bigFile(big);
    QVERIFY(bigFile.open(QIODevice::WriteOnly));
    bigFile.write(longest + "\r\n" + subject);
    bigFile.close();
    QVERIFY2(postfile::read(big, post, error), qPrintable(error));

    const QString unwritable = dir.filePath(QStringLiteral("kein/Ordner.txt"));
    QVERIFY(!postfile::write(unwritable, post, error));
    QVERIFY2(error.startsWith(QStringLiteral("Datei \"%1\" kann nicht erstellt werden. ").arg(unwritable)),
             qPrintable(error));
}

void TestEditorCore::nonTextRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("subject"); // empty: refused
    QTest::newRow("nul byte") << QByteArray("Text\0mehr\r\nBetreff", 18) << QString();
    QTest::newRow("utf-16 without byte order mark")
        << QByteArray("T\0e\0x\0t\0\r\0\n\0B\0", 14) << QString();
    QTest::newRow("program") << QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0", 10) << QString();
    QTest::newRow("control characters") << QByteArray("PK\x03\x04\x14\x01") << QString();
    QTest::newRow("utf-16 with half a surrogate pair") << QByteArray("\xff\xfeT\0\xd8\xd8", 6) << QString();
    QTest::newRow("utf-16 with byte order mark")
        << QByteArray("\xff\xfeT\0\r\0\n\0\xfc\0", 10) << QStringLiteral("ü");
    QTest::newRow("utf-8 with byte order mark") << QByteArray("\xef\xbb\xbfT\r\n\xc3\xbc") << QStringLiteral("ü");
    QTest::newRow("windows-1252, tab, page break, end mark")
        << QByteArray("T\tx\x0c\r\n\xfc\x1a") << QStringLiteral("ü\x1a");
}

void TestEditorCore::nonTextRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, subject);
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("Beitrag.txt"));
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    postfile::Post post;
    QString error;
    if (subject.isEmpty()) {
        QVERIFY(!postfile::read(name, post, error));
        QCOMPARE(error, QStringLiteral("Datei %1 ist keine Textdatei.").arg(name));
    } else {
        QVERIFY2(postfile::read(name, post, error), qPrintable(error));
        QCOMPARE(post.subject, subject);
    }
}

void TestEditorCore::draftKeeper()
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("NewText.txt"));
    postfile::Post current;
    postfile::DraftKeeper keeper(name, [&current] { return current; });

    current = {{QStringLiteral("Entwurf")}, QStringLiteral("Betreff")};
    keeper.changed();
    QVERIFY(!QFile::exists(name));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(name), postfile::DraftKeeper::kDelayMs * 3);
    postfile::Post saved;
    QString error;
    QVERIFY(postfile::read(name, saved, error));
    QCOMPARE(saved.bodyLines, current.bodyLines);

    current.bodyLines << QStringLiteral("mehr");
    keeper.changed();
    QVERIFY(keeper.saveNow());
    QVERIFY(postfile::read(name, saved, error));
    QCOMPARE(saved.bodyLines, current.bodyLines);

    // An emptied post leaves no draft to hide the template.
    current = {{QString()}, QString()};
    keeper.changed();
    QVERIFY(keeper.saveNow());
    QVERIFY(!QFile::exists(name));

    // Cleared (the post was published), a later change makes a new draft.
    current = {{QStringLiteral("x")}, QString()};
    keeper.changed();
    keeper.clear();
    QVERIFY(keeper.saveNow());
    QVERIFY(!QFile::exists(name));
    // A change signal that changed no text (underlines) writes nothing.
    keeper.changed();
    keeper.saveNow();
    QVERIFY(!QFile::exists(name));
    current.subject = QStringLiteral("y");
    keeper.changed();
    keeper.saveNow();
    QVERIFY(QFile::exists(name));
    keeper.discard();
    QVERIFY(!QFile::exists(name));
    keeper.changed();
    keeper.saveNow();
    QVERIFY(!QFile::exists(name));
}

void TestEditorCore::draftKeeperFailure()
{
    QTemporaryDir dir;
    postfile::Post current;
    postfile::DraftKeeper keeper(dir.filePath(QStringLiteral("fehlt/NewText.txt")), [&current] { return current; });
    current = {{QStringLiteral("x")}, QString()};
    QSignalSpy failed(&keeper, &postfile::DraftKeeper::saveFailed);
    QSignalSpy recovered(&keeper, &postfile::DraftKeeper::saveRecovered);
    keeper.changed();
    QVERIFY(!keeper.saveNow());
    keeper.changed();
    QVERIFY(!keeper.saveNow());
    QCOMPARE(failed.size(), 1);
    QVERIFY(keeper.isPending());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("fehlt")));
    QVERIFY(keeper.saveNow());
    QCOMPARE(recovered.size(), 1);
}

void TestEditorCore::answerDraftsBounded()
{
    QTemporaryDir dir;
    const QDateTime start = QDateTime::currentDateTime().addDays(-30);
    const auto make = [&dir, &start](const QString &name, int age) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
        file.flush();
        QVERIFY(file.setFileTime(start.addSecs(-age), QFileDevice::FileModificationTime));
    };
    for (int thread = 1; thread <= 24; ++thread)
        make(postfile::answerDraftName(thread), thread); // 1 newest, 24 oldest
    for (const char *other : {"AnswerText.txt", "AnswerText-x.txt", "NewText.txt"})
        make(QLatin1String(other), 100);
    postfile::pruneAnswerDrafts(dir.path(), 20, postfile::answerDraftName(24));
    QStringList left = QDir(dir.path()).entryList(QDir::Files);
    QCOMPARE(left.size(), 24);
    for (const int gone : {21, 22, 23})
        QVERIFY(!left.contains(postfile::answerDraftName(gone)));
}

void TestEditorCore::wholeNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value"); // -1: no whole number
    QTest::addColumn<bool>("idAcceptable");
    QTest::newRow("12") << "12" << 12 << true;
    QTest::newRow("leading zeros") << "007" << 7 << true;
    QTest::newRow("zero") << "0" << 0 << false;
    QTest::newRow("zeros") << "00000" << 0 << false;
    QTest::newRow("empty") << "" << -1 << false;
    QTest::newRow("letters") << "1a" << -1 << false;
    QTest::newRow("sign") << "-5" << -1 << false;
    QTest::newRow("blank") << " 5" << -1 << false;
    QTest::newRow("largest") << "2147483647" << 2147483647 << true;
    QTest::newRow("too large") << "2147483648" << -1 << false;
    QTest::newRow("long zeros") << "0000000000042" << 42 << true;
}

void TestEditorCore::wholeNumbers()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(bool, idAcceptable);
    const std::optional<qint32> number = picture::wholeNumber(text);
    QCOMPARE(number.value_or(-1), value);
    QCOMPARE(picture::idAcceptable(text), idAcceptable);
}

void TestEditorCore::digitFilter_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("refused");
    QTest::newRow("digit") << int(Qt::Key_7) << 0 << "7" << false;
    QTest::newRow("keypad digit") << int(Qt::Key_7) << int(Qt::KeypadModifier) << "7" << false;
    QTest::newRow("letter") << int(Qt::Key_A) << 0 << "a" << true;
    QTest::newRow("blank") << int(Qt::Key_Space) << 0 << " " << true;
    QTest::newRow("umlaut") << int(Qt::Key_Adiaeresis) << 0 << "ä" << true;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << 0 << "\b" << true;
    QTest::newRow("backspace without text") << int(Qt::Key_Backspace) << 0 << "" << true;
    QTest::newRow("ctrl+v, control text") << int(Qt::Key_V) << int(Qt::ControlModifier) << "\x16" << true;
    QTest::newRow("ctrl+c, plain text") << int(Qt::Key_C) << int(Qt::ControlModifier) << "c" << true;
    QTest::newRow("ctrl+z, no text") << int(Qt::Key_Z) << int(Qt::ControlModifier) << "" << true;
    QTest::newRow("delete") << int(Qt::Key_Delete) << 0 << "\x7f" << false;
    QTest::newRow("shift+insert") << int(Qt::Key_Insert) << int(Qt::ShiftModifier) << "" << false;
    QTest::newRow("arrow") << int(Qt::Key_Left) << 0 << "" << false;
    QTest::newRow("enter") << int(Qt::Key_Return) << 0 << "\r" << false;
    QTest::newRow("escape") << int(Qt::Key_Escape) << 0 << "\x1b" << false;
    QTest::newRow("tab") << int(Qt::Key_Tab) << 0 << "\t" << false;
}

void TestEditorCore::digitFilter()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(bool, refused);
    QCOMPARE(picture::digitFilterRefuses(key, Qt::KeyboardModifiers(modifiers), text), refused);
}

void TestEditorCore::recentPictureEntries()
{
    setEndpoints({QStringLiteral("forum.test"), QStringLiteral("bilder.test"), QStringLiteral("wort")});
    QCOMPARE(picture::recentPictureAddress(QStringLiteral("0042")), QStringLiteral("http://bilder.test/Bilder/B42.jpg"));
    QCOMPARE(picture::recentPictureAddress(QStringLiteral("abc")), QString());
    QCOMPARE(picture::recentPictureCaption(QStringLiteral("0042")), QStringLiteral("Bild ID=0042"));
    QCOMPARE(picture::recentPictureCaption(QStringLiteral("a&b")), QStringLiteral("Bild ID=a&&b"));
    QVERIFY(picture::recentPictureCaption(QString(5000, QLatin1Char('9'))).size() < 60);
}

QTEST_GUILESS_MAIN(TestEditorCore)
#include "tst_editorcore.moc"
