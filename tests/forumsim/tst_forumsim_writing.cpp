// Writing to the forum simulator: the posting form with its preview page and
// publishing, what the forum makes of markup, posts and pictures that outlast
// a restart, the picture server's upload, pages and pictures, and hostile
// requests. The real binary on free loopback ports, asked over HTTP.

#include "SimHttp.h"
#include "common/ForumSim.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

namespace {

using Fields = QList<std::pair<QByteArray, QByteArray>>;

const QByteArray kForum = "/cgi-bin/forum/webbbs_config.pl";

// The form as the client's template page submits it.
Fields postForm(const Fields &overrides = {}, const QByteArray &drop = {})
{
    Fields fields = {{"followup", "0"},  {"name", "Tester"},         {"site", "holzwerkerforum"},
                     {"email", "t@example.org"}, {"subject", "Testbeitrag"}, {"body", "Hallo"},
                     {"url", ""},        {"url_title", ""},          {"image_url", ""},
                     {"password", ""},   {"action", "post"}};
    for (const auto &[name, value] : overrides) {
        bool replaced = false;
        for (auto &field : fields) {
            if (field.first == name) {
                field.second = value;
                replaced = true;
            }
        }
        if (!replaced)
            fields.append({name, value});
    }
    fields.removeIf([&](const auto &field) { return field.first == drop; });
    return fields;
}

// The text of the (only) message on a preview or message page.
QByteArray messageText(const QByteArray &page)
{
    const qsizetype written = page.indexOf("Geschrieben von ");
    const qsizetype start = page.indexOf("<P><FONT face=Arial>", written);
    const qsizetype end = page.indexOf("</FONT></P>\n<HR>", start);
    return start < 0 || end < 0 ? QByteArray() : page.mid(start + 20, end - start - 20);
}

QByteArray pictureBytes(const char *format, int width = 64, int height = 48)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(180, 120, 60));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return buffer.data();
}

QByteArray flipped(QByteArray data, qsizetype at)
{
    data[at] = char(data[at] ^ 0x5A);
    return data;
}

QHttpPart textPart(const QByteArray &name, const QByteArray &value)
{
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader, "form-data; name=\"" + name + "\"");
    part.setBody(value);
    return part;
}

} // namespace

class TestForumSimWriting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void markup_data();
    void markup();
    void previewThenPublish();
    void hostilePosts_data();
    void hostilePosts();
    void postsAndPicturesOutlastARestart();
    void failedWriteCostsNoLaterPost();
    void postNumbersStayInTheirSectionsBlock();
    void uploadForm();
    void upload_data();
    void upload();
    void seededPictures_data();
    void seededPictures();
    void picturePageLogin();
    void pictureKnobs();

private:
    Page post(const Fields &fields, const QByteArray &path = kForum)
    {
        return exchange(m_nam, m_sim.url(QString::fromUtf8(path)), "POST", urlEncoded(fields));
    }
    Page get(const QUrl &url) { return exchange(m_nam, url); }
    Page upload(ForumSim &sim, const QByteArray &name, const QByteArray &password, const QByteArray &file,
                const QByteArray &title = "Werkbank")
    {
        auto *multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
        multipart->append(textPart("titel", title));
        multipart->append(textPart("name", name));
        multipart->append(textPart("passwort", password));
        QHttpPart filePart;
        filePart.setHeader(QNetworkRequest::ContentDispositionHeader,
                           "form-data; name=\"datei\"; filename=\"bild.jpg\"");
        filePart.setHeader(QNetworkRequest::ContentTypeHeader, "image/jpeg");
        filePart.setBody(file);
        multipart->append(filePart);
        const Page page = exchange(m_nam, sim.pictureUrl(QStringLiteral("/ASP/Bld_Anlegen.asp")), "POST", {}, {},
                                   multipart);
        delete multipart;
        return page;
    }
    // Publishes to the section script `path` and returns the new message's
    // number (0 on failure).
    int publishOn(ForumSim &sim, const Fields &overrides, const QByteArray &path = kForum)
    {
        const Page page = exchange(m_nam, sim.url(QString::fromUtf8(path)), "POST", urlEncoded(postForm(overrides)));
        const QByteArray prefix = path + "/read/";
        bool ok = false;
        const int number = page.location.startsWith(prefix) ? page.location.mid(prefix.size()).toInt(&ok) : 0;
        return page.status == 303 && ok ? number : 0;
    }
    int publish(const Fields &overrides) { return publishOn(m_sim, overrides); }

    ForumSim m_sim;
    QNetworkAccessManager m_nam;
};

void TestForumSimWriting::initTestCase()
{
    m_nam.setProxy(QNetworkProxy::NoProxy);
    QVERIFY2(m_sim.start({QStringLiteral("--user"), QStringLiteral("Drechsler:Spanabnahme")}),
             qPrintable(m_sim.errorString()));
}

void TestForumSimWriting::markup_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("html");

    QTest::newRow("inline tags") << QByteArray("[b]fett[/b] [i]kursiv[/i] [red]rot[/red] [big]groß[/big] [code]x = 1;[/code]")
        << QByteArray("<B>fett</B> <I>kursiv</I> <FONT color=red>rot</FONT> <BIG>groß</BIG> <CODE>x = 1;</CODE>");
    QTest::newRow("escaped sup and sub") << QByteArray("H&lt;sub&gt;2&lt;/sub&gt;O, 3 m&lt;sup&gt;2&lt;/sup&gt;")
        << QByteArray("H<SUB>2</SUB>O, 3 m<SUP>2</SUP>");
    QTest::newRow("lines stay lines") << QByteArray("eins\r\nzwei\nGrüße, Maß, 5 € – 木")
        << QByteArray("eins<BR>\nzwei<BR>\nGrüße, Maß, 5 € – 木");
    QTest::newRow("link") << QByteArray("&lt;a href=\"https://example.org/h?a=1&b=2\" target=\"_blank\"&gt;Hobel&lt;/a&gt;")
        << QByteArray("<A HREF=\"https://example.org/h?a=1&amp;b=2\" TARGET=\"_blank\">Hobel</A>");
    QTest::newRow("script link stays text") << QByteArray("&lt;a href=\"javascript:alert(1)\" target=\"_blank\"&gt;x&lt;/a&gt;")
        << QByteArray("&amp;lt;a href=&quot;javascript:alert(1)&quot; target=&quot;_blank&quot;&amp;gt;x&amp;lt;/a&amp;gt;");
    // A centred picture closes the paragraph and stands on a line of its own.
    QTest::newRow("recent picture") << QByteArray("Text\r\n[center]&lt;img src='http://127.0.0.1:1/Bilder/B7.jpg' border='3'&gt;[/center]\r\nMehr")
        << QByteArray("Text</FONT></P>\n<CENTER>\n<FONT face=Arial><IMG SRC=\"http://127.0.0.1:1/Bilder/B7.jpg\" BORDER=3>"
                      "</FONT></CENTER>\n<P><FONT face=Arial>Mehr");
    QTest::newRow("picture with size") << QByteArray("&lt;img src=\"https://b.example/B1.jpg\" Width=\"640\" Height=\"480\" border=\"3\"&gt;")
        << QByteArray("<IMG SRC=\"https://b.example/B1.jpg\" WIDTH=640 HEIGHT=480 BORDER=3>");
    QTest::newRow("picture size not a number") << QByteArray("&lt;img src=\"https://b.example/B1.jpg\" Width=\"64px\" border=\"3\"&gt;")
        << QByteArray("&amp;lt;img src=&quot;https://b.example/B1.jpg&quot; Width=&quot;64px&quot;");
    QTest::newRow("attribute injection stays text") << QByteArray("&lt;img src='http://x.example/a.jpg\" onerror=\"alert(1)' border='3'&gt;")
        << QByteArray("&amp;lt;img src=&#39;http://x.example/a.jpg&quot; onerror=&quot;alert(1)&#39;");
    QTest::newRow("list") << QByteArray("[List]\r\n[*]Eiche\r\n[*][b]Buche[/b]\r\n[/List]")
        << QByteArray("</FONT></P>\n<UL>\n<LI><FONT face=Arial>Eiche</FONT></LI>\n<LI><FONT face=Arial><B>Buche</B></FONT></LI></UL>");
    QTest::newRow("bold around a centred line") << QByteArray("[b]a[center]b[/center]c[/b]")
        << QByteArray("<B>a</B></FONT></P>\n<CENTER>\n<FONT face=Arial><B>b</B></FONT></CENTER>\n<P><FONT face=Arial><B>c</B>");
    QTest::newRow("unbalanced and unknown stay text") << QByteArray("[b]offen [/i] [u]x[/u] [*]")
        << QByteArray("[b]offen [/i] [u]x[/u] [*]");
    QTest::newRow("crossed tags") << QByteArray("[b]a[i]b[/b]c[/i]") << QByteArray("<B>a[i]b</B>c[/i]");
    QTest::newRow("html is text") << QByteArray("<script>alert('x')</script><b onclick=\"x\">")
        << QByteArray("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&lt;b onclick=&quot;x&quot;&gt;");
}

void TestForumSimWriting::markup()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, html);
    const Page page = post(postForm({{"body", body}, {"preview", "on"}}));
    QCOMPARE(page.status, 200);
    const QByteArray text = messageText(page.body);
    QVERIFY2(text.contains(html), text.constData());
    QVERIFY(!text.toUpper().contains("<SCRIPT"));
    QVERIFY(!text.contains("onerror=\""));
}

void TestForumSimWriting::previewThenPublish()
{
    const QByteArray subject = "Hobelbank geölt – 5 € Öl, Maß 2×3";
    const QByteArray body = "Zeile eins\r\n[b]fett[/b]\r\n\r\nÄußerst günstig: 20 €";
    const Page preview = post(postForm({{"subject", subject}, {"body", body}, {"preview", "on"}}));
    QCOMPARE(preview.status, 200);
    QCOMPARE(titleOf(preview.body), "Vorschau: " + subject);
    QCOMPARE(messageText(preview.body), QByteArray("Zeile eins<BR>\n<B>fett</B><BR>\n<BR>\nÄußerst günstig: 20 €"));

    // Its first form: hidden copies of the fields, "Zurück", then "Post" at 13.
    QByteArray action;
    const QList<FormElement> form = firstFormElements(preview.body, &action);
    QCOMPARE(action, kForum);
    QCOMPARE(form.size(), 14);
    const QList<QByteArray> names = {"followup", "name", "site", "email", "subject", "body",
                                     "url", "url_title", "image_url", "password", "action", "notify"};
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(form[i].name, names[i]);
        QCOMPARE(form[i].type, QByteArray("hidden"));
    }
    QCOMPARE(form[5].value, body);   // line breaks survive the hidden field
    QCOMPARE(form[4].value, subject);
    QCOMPARE(form[12].type, QByteArray("button"));
    QCOMPARE(form[13].name, QByteArray("Post"));

    // Publishing sends the hidden copies and the button, as the browser does.
    Fields copies;
    for (const FormElement &e : form) {
        if (e.type == "hidden" || e.name == "Post")
            copies.append({e.name, e.value});
    }
    const Page published = post(copies);
    QCOMPARE(published.status, 303);
    const int number = published.location.mid(published.location.lastIndexOf('/') + 1).toInt();
    QCOMPARE(published.location, kForum + "/read/" + QByteArray::number(number));
    const Page shown = get(m_sim.url(QString::fromUtf8(published.location)));
    QCOMPARE(shown.status, 200);
    QCOMPARE(titleOf(shown.body), subject);
    QCOMPARE(messageText(shown.body), messageText(preview.body));

    // A new thread goes on top of the index; an answer joins it.
    QCOMPARE(threadLinks(get(m_sim.url(QString::fromUtf8(kForum))).body).value(0), number);
    const int answer = publish({{"followup", QByteArray::number(number)}, {"subject", "Re: " + subject},
                                {"name", "hobelmeister"}, {"password", "Spaene42"}, {"body", "Gern geschehen."}});
    QVERIFY(answer > number);
    const Page thread = get(m_sim.url(QString::fromUtf8(kForum) + QStringLiteral("/read/%1/thread").arg(number)));
    QCOMPARE(missingInOrder(thread.body, {"<P align=center>2 Beiträge</P>", "<P align=center><STRONG><BIG>" + subject,
                                          "Äußerst günstig: 20 €</FONT></P></BLOCKQUOTE>\n",
                                          "<P align=center><STRONG><BIG>Re: " + subject,
                                          "Geschrieben von Hobelmeister am",   // the member's own spelling
                                          "Gern geschehen.</FONT></P></BLOCKQUOTE>\n", "Zurück zum Index"}),
             QByteArray());
}

void TestForumSimWriting::hostilePosts_data()
{
    QTest::addColumn<Fields>("overrides");
    QTest::addColumn<QByteArray>("drop");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("says");

    QTest::newRow("member, wrong password") << Fields{{"name", "Hobelmeister"}, {"password", "spaene42"}} << QByteArray()
                                            << 403 << QByteArray("Passwort stimmt nicht");
    QTest::newRow("member from the command line") << Fields{{"name", " drechsler "}, {"password", ""}} << QByteArray()
                                                  << 403 << QByteArray("Passwort stimmt nicht");
    QTest::newRow("blank subject") << Fields{{"subject", " \t "}} << QByteArray() << 400 << QByteArray("Betreff");
    QTest::newRow("blank name") << Fields{{"name", "  "}} << QByteArray() << 400 << QByteArray("Namen");
    QTest::newRow("unknown thread") << Fields{{"followup", "999999"}} << QByteArray() << 404 << QByteArray("Nr. 999999");
    QTest::newRow("other section's thread") << Fields{{"followup", "2001"}} << QByteArray() << 404 << QByteArray("Nr. 2001");
    QTest::newRow("thread number not a number") << Fields{{"followup", "12a"}} << QByteArray() << 400 << QByteArray("keine Zahl");
    QTest::newRow("missing body") << Fields{} << QByteArray("body") << 400 << QByteArray("fehlt das Feld");
    QTest::newRow("wrong site word") << Fields{{"site", "anderesforum"}} << QByteArray() << 400 << QByteArray("nicht zu diesem Forum");
    QTest::newRow("body over 64 KiB") << Fields{{"body", QByteArray(65537, 'a')}} << QByteArray() << 413 << QByteArray("65537 Bytes");
    QTest::newRow("invalid UTF-8") << Fields{{"body", "Gr\xfc\xdf"}} << QByteArray() << 400 << QByteArray("UTF-8");
    QTest::newRow("subject too long") << Fields{{"subject", QByteArray(151, 'x')}} << QByteArray() << 400 << QByteArray("zu lang");
    QTest::newRow("control character in name") << Fields{{"name", "a\x01"}} << QByteArray() << 400 << QByteArray("Steuerzeichen");
    QTest::newRow("script link") << Fields{{"url", "javascript:alert(1)"}} << QByteArray() << 400 << QByteArray("Link-Adresse");
    QTest::newRow("request over the limit") << Fields{{"body", QByteArray(1100000, 'a')}} << QByteArray() << 413 << QByteArray("zu groß");
}

void TestForumSimWriting::hostilePosts()
{
    QFETCH(Fields, overrides);
    QFETCH(QByteArray, drop);
    QFETCH(int, status);
    QFETCH(QByteArray, says);

    const QUrl index = m_sim.url(QString::fromUtf8(kForum));
    const QList<int> before = threadLinks(get(index).body);
    const Page reply = post(postForm(overrides, drop));
    QCOMPARE(reply.status, status);
    QCOMPARE(titleOf(reply.body), QByteArray("Fehler beim Speichern"));
    QVERIFY2(reply.body.contains(says), reply.body.constData());
    // The client's export must find nothing to end on in an error page.
    QVERIFY(!reply.body.contains("Zurück zum Index") && !reply.body.contains("in diesem Thread"));
    QCOMPARE(threadLinks(get(index).body), before);   // nothing published
}

void TestForumSimWriting::postsAndPicturesOutlastARestart()
{
    ForumSim sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    const int thread = publishOn(sim, {{"subject", "Bleibt über den Neustart"}, {"body", "Grüße\r\n[b]fett[/b]"}});
    const int answer = publishOn(sim, {{"followup", QByteArray::number(thread)}, {"subject", "Re: Bleibt"}});
    QVERIFY(thread > 0 && answer > thread);
    const QByteArray png = pictureBytes("PNG");
    const Page uploaded = upload(sim, "Tester", "", png);
    QCOMPARE(uploaded.status, 303);
    const QByteArray pictureId = uploaded.location.mid(uploaded.location.indexOf("id=") + 3);

    // A write cut off by a crash leaves a torn last record.
    QCOMPARE(sim.stop(), 0);
    QFile log(sim.dataPath() + QStringLiteral("/posts.log"));
    QVERIFY(log.open(QIODevice::Append));
    log.write("TVK1 400 0badc0de\nname\tabgeschnitten");
    log.close();
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QString errors;
    QTRY_VERIFY2((errors += sim.readStandardError()).contains("skipped a damaged record"), qPrintable(errors));

    const Page page = get(sim.url(QString::fromUtf8(kForum) + QStringLiteral("/read/%1/thread").arg(thread)));
    QCOMPARE(page.status, 200);
    QCOMPARE(missingInOrder(page.body, {"Bleibt über den Neustart", "Grüße<BR>\n<B>fett</B>", "Re: Bleibt"}), QByteArray());
    QCOMPARE(threadLinks(get(sim.url(QString::fromUtf8(kForum))).body).value(0), thread);
    const Page picture = get(sim.pictureUrl(QStringLiteral("/Bilder/B%1.jpg").arg(QString::fromUtf8(pictureId))));
    QCOMPARE(picture.status, 200);
    QCOMPARE(picture.body, png);
    QCOMPARE(picture.contentType, QByteArray("image/png"));
    // Numbers go on from what was stored.
    QVERIFY(publishOn(sim, {{"subject", "Danach"}}) > answer);
    QCOMPARE(upload(sim, "Tester", "", png).location, "/ASP/Bld_D.asp?id=" + QByteArray::number(pictureId.toInt() + 1));
}

// A write that fails part-way, as on a full disk, leaves nothing behind that
// costs the next acknowledged post at the next start.
void TestForumSimWriting::failedWriteCostsNoLaterPost()
{
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("daten"));
    QVERIFY(QDir().mkpath(data));
    // A small file system of its own where the test may mount one; else a
    // file-size limit on the simulator makes the write fail the same way.
    auto run = [](const QString &program, const QStringList &args) {
        QProcess process;
        process.start(program, args);
        return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
               && process.exitCode() == 0;
    };
    const bool tmpfs = run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                     QStringLiteral("size=64k"), QStringLiteral("tmpfs"), data});
    const auto unmount = qScopeGuard([&] {
        if (tmpfs)
            run(QStringLiteral("umount"), {data});
    });
    ForumSim sim;
    QVERIFY2(sim.start({QStringLiteral("--data"), data}), qPrintable(sim.errorString()));
    QVERIFY(publishOn(sim, {{"subject", "Vorher"}}) > 0);

    const QString filler = data + QStringLiteral("/fuellung");
    auto diskFull = [&](bool full) {
        if (tmpfs && !full)
            return QFile::remove(filler);
        if (tmpfs) {
            QFile file(filler);
            const QByteArray block(4096, 'x');
            if (!file.open(QIODevice::WriteOnly))
                return false;
            while (file.write(block) == block.size() && file.flush()) {
            }
            return true;
        }
        rlimit limit{};
        if (prlimit(pid_t(sim.processId()), RLIMIT_FSIZE, nullptr, &limit) != 0)
            return false;
        limit.rlim_cur = full ? rlim_t(QFileInfo(data + QStringLiteral("/posts.log")).size() + 1000) : limit.rlim_max;
        return prlimit(pid_t(sim.processId()), RLIMIT_FSIZE, &limit, nullptr) == 0;
    };
    QVERIFY(diskFull(true));
    const Page refused = exchange(m_nam, sim.url(QString::fromUtf8(kForum)), "POST",
                                  urlEncoded(postForm({{"subject", "Kein Platz"}, {"body", QByteArray(6000, 'a')}})));
    QCOMPARE(refused.status, 500);
    QVERIFY(diskFull(false));
    const int acknowledged = publishOn(sim, {{"subject", "Danach bestätigt"}});
    QVERIFY(acknowledged > 0);

    QCOMPARE(sim.stop(), 0);
    QVERIFY2(sim.start({QStringLiteral("--data"), data}), qPrintable(sim.errorString()));
    const Page page = get(sim.url(QString::fromUtf8(kForum) + QStringLiteral("/read/%1").arg(acknowledged)));
    QCOMPARE(page.status, 200);
    QCOMPARE(titleOf(page.body), QByteArray("Danach bestätigt"));
}

// A section's numbers stay in its block (marktplatz: 3001-3999, then
// 13001-13999) when the block is full.
void TestForumSimWriting::postNumbersStayInTheirSectionsBlock()
{
    ForumSim sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    const QByteArray market = "/cgi-bin/marktplatz/webbbs_config.pl";
    int number = 0;
    for (int i = 0; i < 1100 && number < 10000; ++i) {
        number = publishOn(sim, {{"subject", "Verkaufe Hobel Nr. " + QByteArray::number(i)}}, market);
        QVERIFY2(number % 10000 >= 3001 && number % 10000 <= 3999, qPrintable(QString::number(number)));
    }
    QCOMPARE(number, 13001);
}

void TestForumSimWriting::uploadForm()
{
    const Page page = get(m_sim.pictureUrl(QStringLiteral("/ASP/Bld_Anlegen.asp")));
    QCOMPARE(page.status, 200);
    QByteArray action;
    const QList<FormElement> form = firstFormElements(page.body, &action);
    QCOMPARE(action, QByteArray("/ASP/Bld_Anlegen.asp"));
    QVERIFY(page.body.contains("ENCTYPE=\"multipart/form-data\""));
    QCOMPARE(form.size(), 5);
    const QList<std::pair<QByteArray, QByteArray>> expected = {
        {"text", "titel"}, {"text", "name"}, {"password", "passwort"}, {"file", "datei"}, {"submit", ""}};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(std::pair(form[i].type, form[i].name), expected[i]);
}

void TestForumSimWriting::upload_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");

    const QByteArray jpeg = pictureBytes("JPEG", 320, 200);
    QTest::newRow("JPEG of a guest") << QByteArray("Gast Günther") << QByteArray() << jpeg << 303 << QByteArray("image/jpeg");
    QTest::newRow("PNG of a member") << QByteArray("hobelmeister") << QByteArray("Spaene42") << pictureBytes("PNG")
                                     << 303 << QByteArray("image/png");
    QTest::newRow("member, wrong password") << QByteArray("Hobelmeister") << QByteArray("x") << jpeg << 403 << QByteArray();
    QTest::newRow("no name") << QByteArray(" ") << QByteArray() << jpeg << 400 << QByteArray();
    QTest::newRow("text file") << QByteArray("Gast") << QByteArray() << QByteArray("Hallo, kein Bild\n") << 415 << QByteArray();
    QTest::newRow("cut-off JPEG") << QByteArray("Gast") << QByteArray() << jpeg.left(jpeg.size() / 2) << 415 << QByteArray();
    QTest::newRow("PNG with a wrong checksum") << QByteArray("Gast") << QByteArray()
                                               << flipped(pictureBytes("PNG"), 29) << 415 << QByteArray();
    QTest::newRow("over 10 MB") << QByteArray("Gast") << QByteArray() << jpeg + QByteArray(10 * 1024 * 1024, 'x')
                                << 413 << QByteArray();
}

void TestForumSimWriting::upload()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, file);
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);

    const Page reply = upload(m_sim, name, password, file);
    QCOMPARE(reply.status, status);
    if (status != 303) {
        QCOMPARE(titleOf(reply.body), QByteArray("Fehler beim Hochladen"));
        return;
    }
    static const QRegularExpression location(QStringLiteral("^/ASP/Bld_D\\.asp\\?id=(\\d+)$"));
    const auto m = location.match(QString::fromUtf8(reply.location));
    QVERIFY2(m.hasMatch(), reply.location.constData());
    const int number = m.captured(1).toInt();
    QVERIFY(number >= 10001);

    const Page page = get(m_sim.pictureUrl(QString::fromUtf8(reply.location)));
    QCOMPARE(page.status, 200);
    QVERIFY(page.body.contains("<IMG SRC=\"/Bilder/B" + QByteArray::number(number) + ".jpg\""));
    QVERIFY(page.body.contains("[center]&amp;lt;img src=&#39;http://" + m_sim.pictureHost().toUtf8() + "/Bilder/B"
                               + QByteArray::number(number) + ".jpg&#39; border=&#39;3&#39;&amp;gt;[/center]"));
    const Page bytes = get(m_sim.pictureUrl(QStringLiteral("/Bilder/B%1.jpg").arg(number)));
    QCOMPARE(bytes.status, 200);
    QCOMPARE(bytes.contentType, contentType);
    QCOMPARE(bytes.body, file);
    // The newest picture heads the list of new arrivals.
    const Page newest = get(m_sim.pictureUrl(QStringLiteral("/ASP/Bld_Neuzugang.asp")));
    QCOMPARE(missingInOrder(newest.body, {"<A HREF=\"/ASP/Bld_D.asp?id=" + QByteArray::number(number) + "\">",
                                          "/ASP/Bld_D.asp?id=101\""}), QByteArray());
}

void TestForumSimWriting::seededPictures_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("dpi");

    QTest::newRow("20 cm wide") << 101 << QSize(2000, 1500) << 254;
    QTest::newRow("17.5 cm wide") << 102 << QSize(1750, 1050) << 254;
    QTest::newRow("small") << 103 << QSize(480, 360) << 96;
    QTest::newRow("third of thread 1001") << 104 << QSize(480, 360) << 96;
    QTest::newRow("generated thread") << 200 << QSize(480, 360) << 96;
}

void TestForumSimWriting::seededPictures()
{
    QFETCH(int, number);
    QFETCH(QSize, size);
    QFETCH(int, dpi);

    const Page page = get(m_sim.pictureUrl(QStringLiteral("/Bilder/B%1.jpg").arg(number)));
    QCOMPARE(page.status, 200);
    QCOMPARE(page.contentType, QByteArray("image/jpeg"));
    QImage image;
    QVERIFY(image.loadFromData(page.body, "JPEG"));
    QCOMPARE(image.size(), size);
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), dpi);
    QCOMPARE(get(m_sim.pictureUrl(QStringLiteral("/Bilder/B%1.jpg").arg(number))).body, page.body);   // stable

    if (number == 101) {
        const Page thread = get(m_sim.url(QString::fromUtf8(kForum) + QStringLiteral("/read/1001/thread")));
        QCOMPARE(thread.body.count("<IMG SRC=\"http://" + m_sim.pictureHost().toUtf8() + "/Bilder/B"), 3);
        QCOMPARE(get(m_sim.pictureUrl(QStringLiteral("/Bilder/B9999.jpg"))).status, 404);
        QCOMPARE(get(m_sim.pictureUrl(QStringLiteral("/Bilder/Bx.jpg"))).status, 404);
    }
}

void TestForumSimWriting::picturePageLogin()
{
    const QUrl address = m_sim.pictureUrl(QStringLiteral("/ASP/Bld_D.asp?id=101"));
    const Page page = get(address);
    QCOMPARE(page.status, 200);
    QByteArray action;
    const QList<FormElement> form = firstFormElements(page.body, &action);
    QCOMPARE(action, QByteArray("/ASP/Bld_D.asp?id=101"));
    QVERIFY(form.size() >= 2);
    QCOMPARE(std::pair(form[0].type, form[0].name), std::pair(QByteArray("password"), QByteArray("passwort")));
    QCOMPARE(form[1].type, QByteArray("submit"));

    const Page owner = exchange(m_nam, address, "POST", "passwort=Spaene42");
    QCOMPARE(owner.status, 200);
    QVERIFY(owner.body.contains("Angemeldet: Hobelmeister"));
    const Page wrong = exchange(m_nam, address, "POST", "passwort=falsch");
    QCOMPARE(wrong.status, 403);
    QVERIFY(wrong.body.contains("Passwort"));
    for (const QString &id : {QStringLiteral("abc"), QStringLiteral("9999"), QString()})
        QCOMPARE(get(m_sim.pictureUrl(QStringLiteral("/ASP/Bld_D.asp?id=") + id)).status, 404);
}

// The knobs for the export's tests and benchmarks: a picture that is shown
// but missing, one that is slow, and a delay for every picture, none of which
// holds up other requests.
void TestForumSimWriting::pictureKnobs()
{
    ForumSim sim;
    QVERIFY2(sim.start({"--missing-picture", "103", "--slow-picture", "104:1500", "--picture-delay", "200"}),
             qPrintable(sim.errorString()));
    QVERIFY(get(sim.url(QString::fromUtf8(kForum) + QStringLiteral("/read/1010"))).body.contains("/Bilder/B103.jpg"));
    QCOMPARE(get(sim.pictureUrl(QStringLiteral("/Bilder/B103.jpg"))).status, 404);

    QElapsedTimer clock;
    clock.start();
    QNetworkRequest slowRequest(sim.pictureUrl(QStringLiteral("/Bilder/B104.jpg")));
    QNetworkReply *slow = m_nam.get(slowRequest);
    QCOMPARE(get(sim.url(QString::fromUtf8(kForum))).status, 200);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(get(sim.pictureUrl(QStringLiteral("/Bilder/B101.jpg"))).status, 200);   // 200 ms
    QVERIFY(clock.elapsed() >= 200);
    QTRY_VERIFY_WITH_TIMEOUT(slow->isFinished(), 10000);
    QVERIFY(clock.elapsed() >= 1700);
    QCOMPARE(slow->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    slow->deleteLater();
}

QTEST_GUILESS_MAIN(TestForumSimWriting)
#include "tst_forumsim_writing.moc"
