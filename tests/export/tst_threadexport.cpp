// The thread export's text work without a window: the title proposal, the
// picture functions, safe file names, the extraction of a page's lines and
// the bytes of the work file.
#include "export/ExportRecord.h"
#include "export/ExportText.h"
#include "export/FileNames.h"
#include "export/PictureDownloader.h"
#include "export/WordConnection.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnvik;

namespace {
const QString kFolder = QStringLiteral("/tmp/Doku/Pictures/");

// A server on a loopback address that answers each path with what `routes`
// holds for it (404 otherwise) and closes the connection.
class CannedServer : public QTcpServer
{
public:
    QHash<QByteArray, QByteArray> routes;

    explicit CannedServer(const QHostAddress &address)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    QByteArray &request = m_requests[socket];
                    request += socket->readAll();
                    if (!request.contains("\r\n\r\n"))
                        return;
                    socket->write(routes.value(request.split(' ').value(1), answer("404 Not Found", "text/html", {})));
                    m_requests.remove(socket);
                    socket->disconnectFromHost();
                });
            }
        });
        listen(address);
    }

    QUrl url(const char *path) const
    {
        return QUrl(QStringLiteral("http://%1:%2%3").arg(serverAddress().toString()).arg(serverPort()).arg(QLatin1String(path)));
    }

    static QByteArray answer(const QByteArray &status, const QByteArray &type, const QByteArray &body,
                             const QByteArray &headers = {})
    {
        return "HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: "
               + QByteArray::number(body.size()) + "\r\nConnection: close\r\n" + headers + "\r\n" + body;
    }

private:
    QHash<QTcpSocket *, QByteArray> m_requests;
};

// Whether `file` lies directly in `folder`.
bool directlyIn(const QString &file, const QString &folder)
{
    return QFileInfo(QDir::cleanPath(file)).absolutePath() == QDir::cleanPath(folder);
}

// The work file's text read back as the office does: references decoded.
QString decodeReferences(const QByteArray &bytes)
{
    QString text = QString::fromLatin1(bytes);
    static const QRegularExpression reference(QStringLiteral("&#(\\d+);"));
    QString out;
    qsizetype last = 0;
    for (auto it = reference.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(text).mid(last, m.capturedStart() - last);
        const char32_t code = m.captured(1).toUInt();
        out += QString::fromUcs4(&code, 1);
        last = m.capturedEnd();
    }
    return out + text.mid(last);
}

// A whole-thread page as the browser serialises it: two messages, the first
// with a picture in its last text line and one in the line after it.
QStringList threadPage()
{
    return {
        QStringLiteral("<HTML>"),
        QStringLiteral("<BODY bgcolor=#FFFFF4>"),
        QStringLiteral("<P align=center><BIG><BIG><STRONG>Hobelbank</STRONG></BIG></BIG></P>"),
        QStringLiteral("<P align=center>2 Beiträge</P>"),
        QStringLiteral("<HR>"),
        QStringLiteral("<P align=center><STRONG><BIG>Hobelbank</BIG></STRONG></P>"),
        QStringLiteral("<BLOCKQUOTE>"),
        QStringLiteral("<P><FONT face=Arial>Buche<BR>"),
        QStringLiteral("<IMG src=\"http://p/Bilder/B1.jpg\"></FONT></P></BLOCKQUOTE>"),
        QStringLiteral("<P><IMG src=\"/Bilder/B2.jpg?size=2\"></P>"),
        QStringLiteral("<HR>"),
        QStringLiteral("<P align=center><STRONG><BIG>Re: Hobelbank</BIG></STRONG></P>"),
        QStringLiteral("<BLOCKQUOTE>"),
        QStringLiteral("<P><FONT face=Arial>Danke</FONT></P></BLOCKQUOTE>"),
        QStringLiteral("<P><A href=x>Einzelansicht</A></P>"),
        QStringLiteral("<P align=center><A href=/>Zurück zum Index</A></P>"),
        QStringLiteral("</BODY>"),
    };
}

QStringList singlePage()
{
    return {
        QStringLiteral("<BODY bgcolor=#FFFFF4>"),
        QStringLiteral("<P align=center><BIG><BIG><STRONG>Säge &amp; Hobel</STRONG></BIG></BIG></P>"),
        QStringLiteral("<P align=center><EM>Geschrieben von A</EM></P>"),
        QStringLiteral("<P><FONT face=Arial>Text<BR>"),
        QStringLiteral("<IMG src=B3.png> <IMG src='http://p/x.gif'></FONT></P>"),
        QStringLiteral("<HR>"),
        QStringLiteral("<P><STRONG>Beiträge in diesem Thread:</STRONG></P>"),
        QStringLiteral("<UL>"),
    };
}

PictureState pictureState(const QString &title = QStringLiteral("Hobelbank"))
{
    PictureState state;
    state.title = title;
    state.picturesFolder = kFolder;
    state.pageAddress = QUrl(QStringLiteral("http://forum.test/cgi-bin/forum/webbbs_config.pl/read/7"));
    return state;
}

QString local(const QString &name)
{
    return PictureSource(kFolder + name);
}
} // namespace

class TestThreadExport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void titleProposal_data()
    {
        QTest::addColumn<QString>("pageTitle");
        QTest::addColumn<QString>("proposal");
        QTest::newRow("answer") << "Re: Hobelbank (neu): Frage, bitte" << "Hobelbank";
        QTest::newRow("with picture") << "Leimholz: Buche, Eiche *MIT BILD*" << "Leimholz  Buche  Eiche";
        QTest::newRow("Re: inside stays") << "Frage zu Re: Hobel" << "Frage zu Re  Hobel";
        QTest::newRow("only first colon and comma") << "a:b:c,d,e" << "a b:c d,e";
        QTest::newRow("control characters at the ends") << "\t Hobel \x01" << "Hobel";
        QTest::newRow("empty") << "" << "";
    }
    void titleProposal()
    {
        QFETCH(QString, pageTitle);
        QFETCH(QString, proposal);
        QCOMPARE(DocTitleProposal(pageTitle), proposal);
    }

    void refusedKeys()
    {
        for (const char *c : {"#", "$", "(", ")", ",", ".", ":"})
            QVERIFY2(TitleKeyRefused(QString::fromLatin1(c)), c);
        for (const char *c : {"a", "-", "_", "ä", "", "ab"})
            QVERIFY2(!TitleKeyRefused(QString::fromUtf8(c)), c);
    }

    void pictureAddress_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("extension");
        QTest::newRow("query dropped") << "<IMG src=\"/Bilder/B123.jpg?size=2\">" << "/Bilder/B123.jpg" << ".jpg";
        QTest::newRow("lower case tag") << "x <img src=\"http://h/a.png\"> y" << "http://h/a.png" << ".png";
        QTest::newRow("bare value") << "<IMG src=B5.jpg border=3>" << "B5.jpg" << ".jpg";
        QTest::newRow("single quotes") << "<IMG src='http://h/b.gif'>" << "http://h/b.gif" << ".gif";
        QTest::newRow("unclosed quote") << "<IMG src=\"http://h/c.jpg" << "http://h/c.jpg" << ".jpg";
        QTest::newRow("entities decoded") << "<IMG src=\"/a&amp;b.jpg\">" << "/a&b.jpg" << ".jpg";
        QTest::newRow("no dot: all of it") << "<IMG src=\"B9\">" << "B9" << "B9";
        QTest::newRow("text about markup") << "&lt;img src=\"http://h/d.jpg\"&gt;" << "" << "";
        QTest::newRow("srcset is no picture") << "<IMG srcset=\"a.jpg\">" << "" << "";
        QTest::newRow("earlier quoted value") << "<A href=\"x.htm\"><IMG src=\"e.jpg\"></A>" << "e.jpg" << ".jpg";
    }
    void pictureAddress()
    {
        QFETCH(QString, line);
        QFETCH(QString, address);
        QFETCH(QString, extension);
        QCOMPARE(ExtractPictureAddress(line), address);
        QCOMPARE(AddressExtension(address), extension);
    }

    void replaceQuotedValue_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("result");
        QTest::newRow("two quotes") << "<IMG src=\"a.jpg\" x>" << "<IMG src=\"V\" x>";
        QTest::newRow("one quote") << "<IMG src=\"a.jpg" << "<IMG src=\"V";
        QTest::newRow("none") << "<IMG src=a.jpg>" << "<IMG src=a.jpg>";
        QTest::newRow("first of the line") << "<A href=\"h\"><IMG src=\"p\">" << "<A href=\"V\"><IMG src=\"p\">";
    }
    void replaceQuotedValue()
    {
        QFETCH(QString, line);
        QFETCH(QString, result);
        QCOMPARE(ReplaceQuotedValue(line, QStringLiteral("V")), result);
    }

    // Every picture of a line gets its own file and counter; the picture's
    // own address is replaced, not an earlier quoted value.
    void localizeEveryPictureOfALine()
    {
        PictureState state = pictureState();
        state.counter = 3;
        QString line = QStringLiteral("<A href=\"x.htm\"><IMG src=\"/Bilder/B1.jpg?s=2\"></A> <IMG src=b.PNG> "
                                      "<IMG src='file:///etc/passwd'>");
        QVERIFY(LocalizePicture(line, state));
        QCOMPARE(line, QStringLiteral("<A href=\"x.htm\"><IMG src=\"%1\"></A> <IMG src=\"%2\"> <IMG src=\"%3\">")
                           .arg(local("Hobelbank_03.jpg"), local("Hobelbank_04.PNG"), local("Hobelbank_05")));
        QCOMPARE(state.counter, 6);
        QVERIFY(state.picturesFound);
        QCOMPARE(state.downloads.size(), 3);
        QCOMPARE(state.downloads[0].address, QUrl(QStringLiteral("http://forum.test/Bilder/B1.jpg")));
        QCOMPARE(state.downloads[1].address,
                 QUrl(QStringLiteral("http://forum.test/cgi-bin/forum/webbbs_config.pl/read/b.PNG")));
        QVERIFY(state.downloads[2].address.isEmpty()); // only http and https are fetched

        QString plain = QStringLiteral("<P>kein Bild</P>");
        QVERIFY(!LocalizePicture(plain, state));
        QCOMPARE(state.counter, 6);
        QCOMPARE(PictureFileName(QStringLiteral("Hobelbank"), 100, QStringLiteral("x.jpeg")),
                 QStringLiteral("Hobelbank_100.jpeg"));
    }

    void hostileNames_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList names{
            "../../etc/passwd", "..\\..\\Windows\\win.ini", ".", "..", "...", "/", "", "   ", "CON", "con.txt",
            "LPT9", "COM\u00b9", "NUL.jpg", "a:b*c?d\"e<f>g|h", "Hobel\x01" "bank\x7f", "name. . .", "a/../b",
            "C:\\x", "\\\\server\\share", ".bashrc", "Hobel\nbank", QString(300, QLatin1Char('x')),
            QString(150, QChar(0xe4)), QStringLiteral("\U0001F600").repeated(60), QString(QChar(0xd800)) + "abc",
            "%2e%2e%2f", "\u202egpj.exe", " lead and trail . ",
            // and two that stay as they are
            "Hobelbank aus Buche \u2013 Erfahrungen_", "v1..2"};
        for (qsizetype i = 0; i < names.size(); ++i)
            QTest::addRow("%d %s", int(i), names[i].left(16).toUtf8().toPercentEncoding().constData()) << names[i];
    }
    // Whatever comes in, the name stays one plain file in its folder.
    void hostileNames()
    {
        QFETCH(QString, name);
        const QString safe = toValidFileName(name);
        QVERIFY(!safe.isEmpty());
        QCOMPARE(toValidFileName(safe), safe);
        QVERIFY(safe.toUtf8().size() <= kMaxFileNameBytes);
        QVERIFY(!safe.startsWith(QLatin1Char('.')) && !safe.endsWith(QLatin1Char('.')) && !safe.endsWith(QLatin1Char(' ')));
        for (const QChar c : safe)
            QVERIFY(c.unicode() >= 0x20 && !QStringLiteral("\\/:*?\"<>|").contains(c));
        QVERIFY(directlyIn(kFolder + safe, kFolder));
        QVERIFY(directlyIn(kFolder + PictureFileName(name, 1, name), kFolder));
        // The office phase names its document by the same rule: it takes
        // exactly the names made here, and refuses the rest.
        QCOMPARE(word::isSafeDocumentTitle(name), name == safe);
        QVERIFY(word::isSafeDocumentTitle(safe));
        QVERIFY(directlyIn(word::documentFilePath(kFolder, safe, 0), kFolder));

        // The same for a picture's address in a page line, with the title as given.
        PictureState state = pictureState(name);
        QString line = QStringLiteral("<IMG src=\"%1\">").arg(name.toHtmlEscaped());
        LocalizePicture(line, state);
        for (const PictureDownload &d : std::as_const(state.downloads))
            QVERIFY2(directlyIn(d.file, kFolder), qPrintable(d.file));
    }

    void fileNameDetails()
    {
        QCOMPARE(toValidFileName(QStringLiteral("../../etc/passwd")), QStringLiteral("_._.._etc_passwd"));
        QCOMPARE(toValidFileName(QStringLiteral("con.txt")), QStringLiteral("_con.txt"));
        QCOMPARE(toValidFileName(QStringLiteral("..")), QStringLiteral("_"));
        QCOMPARE(toValidFileName(QStringLiteral("\U0001F600").repeated(60)).size(), 100); // 50 whole characters
        QCOMPARE(validExtension(QStringLiteral(".jpg")), QStringLiteral(".jpg"));
        for (const char *bad : {".j/pg", ".verylong", ".", "jpg", ".jp g", ".jpg#x"})
            QVERIFY2(validExtension(QString::fromLatin1(bad)).isEmpty(), bad);
    }

    void extraction_data()
    {
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("cut"); // lines taken from the end of the page
        QTest::addColumn<int>("end");
        QTest::newRow("whole thread") << true << "Hobelbank" << 0 << int(ExtractionEnd::Complete);
        QTest::newRow("no end marker") << true << "Hobelbank" << 2 << int(ExtractionEnd::NoEndMarker);
        QTest::newRow("ends after a text") << true << "Hobelbank" << 3 << int(ExtractionEnd::NoEndMarker);
        QTest::newRow("title is the last line") << true << "Hobelbank" << 14 << int(ExtractionEnd::NoEndMarker);
        QTest::newRow("no title line") << true << "Drechselbank" << 0 << int(ExtractionEnd::NoTitleLine);
        QTest::newRow("empty title") << true << "" << 0 << int(ExtractionEnd::NoTitleLine);
        QTest::newRow("no body") << true << "Hobelbank" << 16 << int(ExtractionEnd::NoBody);
        QTest::newRow("single message") << false << "Säge & Hobel" << 0 << int(ExtractionEnd::Complete);
        QTest::newRow("single without end") << false << "Säge & Hobel" << 2 << int(ExtractionEnd::NoEndMarker);
    }
    void extraction()
    {
        QFETCH(bool, whole);
        QFETCH(QString, title);
        QFETCH(int, cut);
        QFETCH(int, end);
        QStringList page = whole ? threadPage() : singlePage();
        page.resize(page.size() - cut);
        PictureState state = pictureState();
        const Extraction result = ExtractThread(page, title, whole, state);
        QCOMPARE(int(result.end), end);
        if (result.end != ExtractionEnd::Complete) {
            QVERIFY(result.lines.isEmpty());
            QVERIFY(!ExtractionFailureText(result.end, whole).isEmpty());
            return;
        }
        QStringList expected;
        if (whole) {
            const QStringList p = threadPage();
            // Headings and texts; the line after a text only for its picture; two empty lines each.
            expected << p[1] << p[2] << p[5] << p[6] << p[7]
                     << QStringLiteral("<IMG src=\"%1\"></FONT></P></BLOCKQUOTE>").arg(local("Hobelbank_01.jpg"))
                     << QStringLiteral("<P><IMG src=\"%1\"></P>").arg(local("Hobelbank_02.jpg")) << "" << ""
                     << p[11] << p[12] << p[13] << "" << "";
        } else {
            const QStringList p = singlePage();
            expected << p[0] << p[1] << p[2] << p[3]
                     << QStringLiteral("<IMG src=\"%1\"> <IMG src=\"%2\"></FONT></P>")
                            .arg(local("Hobelbank_01.png"), local("Hobelbank_02.gif"))
                     << p[5];
        }
        expected << QStringLiteral("</BODY></HTML>");
        QCOMPARE(result.lines, expected);
        QCOMPARE(state.downloads.size(), 2);
        QCOMPARE(state.downloads[whole ? 1 : 0].address.host(), QStringLiteral("forum.test"));
    }

    void splitLines()
    {
        QCOMPARE(SplitBodyLines(QStringLiteral("a\r\nb\nc\rd\r\n")), QStringList({"a", "b", "c", "d", ""}));
    }

    // ASCII only, CR LF after every line, and every character comes back.
    void workFileBytes()
    {
        const QStringList lines{QStringLiteral("<BODY>"), QStringLiteral("Grüße, Maß: 5 € \U0001F600 \u0100"),
                                QString(), QStringLiteral("</BODY></HTML>")};
        const QByteArray bytes = EncodeWorkFile(lines);
        QVERIFY(bytes.startsWith("<BODY>\r\nGr&#252;&#223;e, Ma&#223;: 5 &#8364; &#128512; &#256;\r\n\r\n"));
        QVERIFY(bytes.endsWith("</BODY></HTML>\r\n"));
        for (const char c : bytes)
            QVERIFY(uchar(c) < 0x80);
        QCOMPARE(decodeReferences(bytes), lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        QCOMPARE(EncodeWorkFile({QString(QChar(0xdc00))}), QByteArray("&#65533;\r\n"));
    }

    // A document counts as written by the last export while its size and
    // time are as the record, read back from its file, says.
    void exportRecord_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("state");
        QTest::newRow("as written") << "" << int(ExportRecord::State::AsWritten);
        QTest::newRow("edited, longer") << "append" << int(ExportRecord::State::Changed);
        QTest::newRow("edited, same size") << "touch" << int(ExportRecord::State::Changed);
        QTest::newRow("written elsewhere") << "other" << int(ExportRecord::State::Unknown);
        QTest::newRow("gone") << "remove" << int(ExportRecord::State::Absent);
    }
    void exportRecord()
    {
        QFETCH(QString, change);
        QFETCH(int, state);
        QTemporaryDir dir;
        const QString record = dir.filePath(QStringLiteral("Exporte.json"));
        const QString document = dir.filePath(QStringLiteral("Hobelbank.doc"));
        QFile file(document);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("Dokument") == 8);
        file.close();
        ExportRecord written = ExportRecord::load(record);
        written.noteWritten(document);
        QString error;
        QVERIFY2(written.save(error), qPrintable(error));

        const QString checked = change == QLatin1String("other") ? dir.filePath(QStringLiteral("Anderes.doc")) : document;
        if (change == QLatin1String("other"))
            QVERIFY(QFile::copy(document, checked));
        else if (change == QLatin1String("append"))
            QVERIFY(file.open(QIODevice::Append) && file.write("!") == 1);
        else if (change == QLatin1String("touch"))
            QVERIFY(file.open(QIODevice::ReadWrite)
                    && file.setFileTime(QFileInfo(document).lastModified().addSecs(-60), QFileDevice::FileModificationTime));
        else if (change == QLatin1String("remove"))
            QVERIFY(file.remove());
        file.close();
        QCOMPARE(int(ExportRecord::load(record).state(checked)), state);
    }

    // Only a whole, successful answer within the size cap that holds a
    // picture becomes a file; a failure also removes an older file of that
    // name. The server's word for the type counts for nothing.
    void downloadsKeepOnlyPictures()
    {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "JPEG"));
        const QByteArray html = "<HTML><BODY>Das Bild gibt es nicht mehr.</BODY></HTML>";
        CannedServer server(QHostAddress::LocalHost), elsewhere(QHostAddress(QStringLiteral("127.0.0.2")));
        QVERIFY(server.isListening() && elsewhere.isListening());
        elsewhere.routes["/seite.html"] = CannedServer::answer("200 OK", "text/html", html);
        server.routes["/foto.jpg"] = CannedServer::answer("200 OK", "image/jpeg", jpeg);
        server.routes["/seite.jpg"] = CannedServer::answer("200 OK", "image/jpeg", html);
        server.routes["/weiter.jpg"] = CannedServer::answer(
            "302 Found", "text/html", {}, "Location: " + elsewhere.url("/seite.html").toEncoded() + "\r\n");
        server.routes["/gross.jpg"] = CannedServer::answer("200 OK", "image/jpeg", jpeg + QByteArray(3000, '\0'));

        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        const auto job = [&](const char *path, const QString &name) {
            return PictureDownload{*path ? server.url(path) : QUrl(), folder + name};
        };
        QFile stale(folder + QStringLiteral("fehlt.jpg"));
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("old") == 3);
        stale.close();

        PictureDownloader downloader;
        PictureDownloader::Limits limits;
        limits.maxBytes = 2000;
        downloader.setLimits(limits);
        QSignalSpy finished(&downloader, &PictureDownloader::finished);
        downloader.start({job("/foto.jpg", QStringLiteral("foto.jpg")), job("/seite.jpg", QStringLiteral("seite.jpg")),
                          job("/weiter.jpg", QStringLiteral("weiter.jpg")), job("/gross.jpg", QStringLiteral("gross.jpg")),
                          job("/fehlt.jpg", QStringLiteral("fehlt.jpg")), job("", QStringLiteral("ftp.jpg"))});
        QVERIFY(finished.wait(20000));
        QCOMPARE(downloader.done(), 6);
        QCOMPARE(downloader.failed(), 5);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("foto.jpg")});
        QCOMPARE(downloader.fetchedFiles(), QStringList{folder + QStringLiteral("foto.jpg")});
    }

    // What the office reads, judged by the bytes.
    void officePictures_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<bool>("kept");
        QTest::newRow("jpeg") << QByteArray("JPEG") << true;
        QTest::newRow("png") << QByteArray("PNG") << true;
        QTest::newRow("gif") << QByteArray("GIF") << true;
        QTest::newRow("cut off png") << QByteArray("PNG-cut") << false;
        QTest::newRow("html") << QByteArray() << false;
        QTest::newRow("portable pixmap") << QByteArray("PPM") << false; // Qt reads it, the office is not asked to
    }
    void officePictures()
    {
        QFETCH(QByteArray, format);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("bild.jpg"));
        QByteArray bytes = "<HTML><BODY><IMG src=x></BODY></HTML>";
        if (format == "GIF") { // Qt writes no GIF: one pixel
            bytes = QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==");
        } else if (!format.isEmpty()) {
            QImage picture(300, 200, QImage::Format_RGB32);
            picture.fill(Qt::darkBlue);
            QBuffer buffer(&bytes);
            QVERIFY(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, format.split('-').first()));
            if (format.endsWith("-cut"))
                bytes.truncate(bytes.size() / 2);
        }
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        out.close();
        QCOMPARE(isOfficePicture(file), kept);
    }
};

QTEST_GUILESS_MAIN(TestThreadExport)
#include "tst_threadexport.moc"
