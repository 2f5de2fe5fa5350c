// The road of a post against the forum simulator with the real engine: the
// editor's F10, the forum's own preview, "Abschicken", and a picture uploaded
// through the picture site's pages.
#include "automation/PicUpload.h"
#include "automation/Preview.h"
#include "browser/WebEngineHost.h"
#include "browser/WebPage.h"
#include "common/BrowserText.h"
#include "common/Fetch.h"
#include "common/ForumSim.h"
#include "common/ModalHelper.h"
#include "common/ResponseTemplate.h"
#include "common/TestProgram.h"
#include "common/Widgets.h"
#include "editor/Edit.h"
#include "state/DModul.h"
#include "state/Endpoints.h"
#include "state/ErrorReport.h"
#include "ui_Preview.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QWebEngineView>
#include <QtTest>

using namespace tarnvik;

using namespace testwidgets;

namespace {
// A page of the simulator as the browser shows it, kept for a look.
void keepPageScreenshot(const QUrl &url, const QString &name)
{
    if (qEnvironmentVariableIsEmpty("TARNVIK_SCREENSHOT_DIR"))
        return;
    QWebEngineView view;
    view.resize(1000, 700);
    QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
    view.load(url);
    view.show();
    if (loaded.wait(15000))
        keepScreenshot(&view, name, 1000);
}
} // namespace

class TestAutomationE2E : public QObject
{
    Q_OBJECT

    ForumSim m_sim;
    // Another host on loopback, where a hostile server sends the browser.
    ForumSim m_otherHost;
    TestProgram m_program;
    QStringList m_errors;

    QString program() const { return m_program.filePath(QStringLiteral("prog")); }

    void startProgram(const QString &name, const QString &password, int forum)
    {
        QVERIFY(m_program.start(ProgramStart(forum)
                                    .name(name)
                                    .value(QStringLiteral("EMail"), QStringLiteral("holzwurm@example.org"))
                                    .value(QStringLiteral("Passwort"), password)
                                    .programFolder(program())));
        m_errors.clear();
    }

    // Runs the editor's preview for the post and waits on the forum's
    // answer; with `publish`, sends it with "Abschicken" and waits for the
    // window to close. Returns the answer page's text.
    QString preview(bool newPost, const QString &subject, const QString &body, bool publish, bool *sendPath)
    {
        TfrmEdit editor(nullptr, newPost);
        editor.show();
        editor.activateWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(&editor)); }();
        if (!subject.isEmpty())
            editor.findChild<QLineEdit *>(QStringLiteral("EBetreff"))->setText(subject);
        editor.SetBodyText(body);

        QString answer;
        const auto watch = onNextModalOf<TfrmPreview>([&](TfrmPreview *window) {
            // The work page goes by; the forum's answer stays.
            QSignalSpy shown(window, &TfrmPreview::forumPageShown);
            if (!shown.wait(30000))
            { window->close(); return; }
            *sendPath = shown.first().first().toBool();
            QCOMPARE(window->controls()->btnSend->isVisible(), *sendPath);
            answer = bodyText(window->WebBrowser());
            static int shot = 0;
            keepScreenshot(window, QStringLiteral("preview-%1.png").arg(++shot), 1000);
            if (publish && *sendPath) {
                QTest::mouseClick(window->controls()->btnSend, Qt::LeftButton);
                return; // the window closes by itself after the forum's answer
            }
            QTest::keyClick(window, Qt::Key_Escape);
        });
        QTest::keyClick(&editor, Qt::Key_F10);
        [&] { QVERIFY(!watch->timedOut && watch->acted); }();
        return answer;
    }

    // Points the program at `sim` until the guard it returns ends.
    auto useSim(const ForumSim &sim)
    {
        setEndpoints({sim.host(), sim.pictureHost(), QStringLiteral("holzwerkerforum")});
        [&] { QVERIFY(writeResponseTemplate(program(), sim.host())); }();
        return qScopeGuard([this] {
            setEndpoints({m_sim.host(), m_sim.pictureHost(), QStringLiteral("holzwerkerforum")});
            QVERIFY(writeResponseTemplate(program(), m_sim.host()));
        });
    }

    // OpenPreview for a new thread; once the forum's preview page offers
    // "Abschicken", `act` gets the window. Returns what OpenPreview returns.
    bool openPreview(const QString &subject, const std::function<void(TfrmPreview *)> &act)
    {
        bool offered = false;
        const auto watch = onNextModalOf<TfrmPreview>([&](TfrmPreview *window) {
            QSignalSpy shown(window, &TfrmPreview::forumPageShown);
            offered = shown.wait(30000) && shown.first().first().toBool();
            if (offered)
                act(window);
            else
                window->close();
        });
        const bool published = OpenPreview(nullptr, 0, QStringLiteral("Text"), subject);
        [&] { QVERIFY(watch->acted && !watch->timedOut && offered); }();
        return published;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(program()));
        QVERIFY2(m_sim.start({QStringLiteral("--user"), QStringLiteral("Hobelmeister:Spaene42")}),
                 qPrintable(m_sim.errorString()));
        QVERIFY2(m_otherHost.start({QStringLiteral("--bind"), QStringLiteral("127.0.0.2")}),
                 qPrintable(m_otherHost.errorString()));
        setEndpoints({m_sim.host(), m_sim.pictureHost(), QStringLiteral("holzwerkerforum")});
        QVERIFY(writeResponseTemplate(program(), m_sim.host()));
        setErrorReporter([this](const QString &text) { m_errors << text; });
    }

    void cleanupTestCase() { m_program.stop(); }

    // A new thread: the forum renders the markup on its preview page,
    // "Abschicken" publishes it, and it heads the section's index.
    void newThreadIsPreviewedAndPublished()
    {
        startProgram(QStringLiteral("Holzwurm"), QString(), 1);
        const QString subject = QStringLiteral("Öl für die Hobelbank – 5 € \"günstig\" </script>");
        const QString body = QStringLiteral(
            "[b]fett[/b] [i]kursiv[/i] [red]rot[/red] [big]groß[/big]\r\n[center]Mitte[/center]\r\n"
            "[code]x = 1;[/code]\r\n[List]\r\n[*]Leinöl\r\n[*]Hartwachs\r\n[/List]\r\nm&lt;sup&gt;2&lt;/sup&gt; "
            "H&lt;sub&gt;2&lt;/sub&gt;O\r\nSpäne, Fuß und 3 € \\ Ende");
        bool sendPath = false;
        const QString page = preview(true, subject, body, true, &sendPath);
        QVERIFY2(sendPath, qPrintable(page.left(2000)));
        for (const char *rendered : {"<B>fett</B>", "<I>kursiv</I>", "<BIG>groß</BIG>", "<SUP>2</SUP>", "<SUB>2</SUB>",
                                     "Leinöl", "Späne, Fuß und 3 € \\ Ende"})
            QVERIFY2(page.contains(QString::fromUtf8(rendered), Qt::CaseInsensitive), rendered);
        QVERIFY(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }, 10000));

        const QString index = QString::fromUtf8(
            fetch(m_sim.url(QStringLiteral("/cgi-bin/holzbearbeitungsmaschinen/webbbs_config.pl"))));
        const qsizetype first = index.indexOf(QStringLiteral("/read/"));
        QVERIFY(first > 0);
        QVERIFY2(index.mid(first, 400).contains(QStringLiteral("Öl für die Hobelbank – 5 €")), qPrintable(index.mid(first, 400)));
        keepPageScreenshot(m_sim.url(QStringLiteral("/cgi-bin/holzbearbeitungsmaschinen/webbbs_config.pl")),
                           QStringLiteral("index-published.png"));
        QVERIFY(m_errors.isEmpty());
    }

    // An answer carries its thread number and lands in the whole thread.
    void answerLandsInItsThread()
    {
        startProgram(QStringLiteral("Holzwurm"), QString(), 0);
        DM->ClassifyUrl(m_sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/1002")).toString());
        DM->PageTitle = QStringLiteral("Hobelbank aus Buche – Erfahrungen?");
        bool sendPath = false;
        preview(false, QString(), QStringLiteral("Meine Bank hält seit 1987 – ohne Öl."), true, &sendPath);
        QVERIFY(sendPath);
        QVERIFY(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }, 10000));
        const QString thread = QString::fromUtf8(
            fetch(m_sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/1001/thread"))));
        QVERIFY(thread.contains(QStringLiteral("Meine Bank hält seit 1987 – ohne Öl.")));
        keepPageScreenshot(m_sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/1001/thread#1001")),
                           QStringLiteral("thread-pictures.png"));
    }

    // The forum's error page shows; nothing is offered for sending and
    // nothing is published.
    void wrongPasswordShowsTheForumsErrorPage()
    {
        startProgram(QStringLiteral("Hobelmeister"), QStringLiteral("falsch"), 0);
        bool sendPath = true;
        const QString page = preview(true, QStringLiteral("Gesperrt"), QStringLiteral("Text"), true, &sendPath);
        QVERIFY(!sendPath);
        QVERIFY2(page.contains(QStringLiteral("Passwort")), qPrintable(page.left(1000)));
        const QString index = QString::fromUtf8(fetch(m_sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl"))));
        QVERIFY(!index.contains(QStringLiteral("Gesperrt")));
    }

    // Two clicks a few milliseconds apart send the post once.
    void doubleClickPublishesOnce()
    {
        startProgram(QStringLiteral("Holzwurm"), QString(), 0);
        const QString subject = QStringLiteral("Zweimal geklickt, einmal gesendet");
        const bool published = openPreview(subject, [](TfrmPreview *window) {
            QTest::mouseClick(window->controls()->btnSend, Qt::LeftButton);
            QTest::qWait(3);
            QTest::mouseClick(window->controls()->btnSend, Qt::LeftButton);
        });
        QVERIFY(published);
        const QString index = QString::fromUtf8(fetch(m_sim.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl"))));
        QCOMPARE(index.count(subject), 1);
    }

    // An error answer or a redirect to another host is no confirmation: the
    // window stays with the answer and says the post was not published.
    void unconfirmedPostIsNotPublished_data()
    {
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<QString>("shown");
        QTest::newRow("error 500") << QStringList{QStringLiteral("--publish-error"), QStringLiteral("500")}
                                   << QStringLiteral("nicht dauerhaft gespeichert");
        // Even the address of a message, when it is on another host.
        QTest::newRow("redirect to another host")
            << QStringList{QStringLiteral("--publish-redirect"),
                           m_otherHost.url(QStringLiteral("/cgi-bin/forum/webbbs_config.pl/read/1001")).toString()}
            << QStringLiteral("Hobelbank aus Buche");
    }

    void unconfirmedPostIsNotPublished()
    {
        QFETCH(QStringList, fault);
        QFETCH(QString, shown);
        ForumSim hostile;
        QVERIFY2(hostile.start(fault), qPrintable(hostile.errorString()));
        const auto restore = useSim(hostile);
        startProgram(QStringLiteral("Holzwurm"), QString(), 0);
        QString note;
        QString page;
        const bool published = openPreview(QStringLiteral("Nicht bestätigt"), [&](TfrmPreview *window) {
            QSignalSpy answered(window, &TfrmPreview::publishAnswered);
            QTest::mouseClick(window->controls()->btnSend, Qt::LeftButton);
            if (answered.wait(20000) && window->isVisible()) {
                note = window->controls()->lblNote->text();
                page = bodyText(window->WebBrowser());
                const QString tag = QString::fromUtf8(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
                keepScreenshot(window, QStringLiteral("preview-not-published-%1.png").arg(tag), 500);
            }
            window->close();
        });
        QVERIFY(!published);
        QVERIFY2(note.startsWith(QStringLiteral("Der Beitrag wurde nicht veröffentlicht")), qPrintable(note));
        QVERIFY2(page.contains(shown), qPrintable(page.left(500)));
    }

    // A picture server that sends the add-picture address to another host
    // gets no name and password into that host's form.
    void uploadFormOfAnotherHostStaysEmpty()
    {
        ForumSim hostile;
        QVERIFY2(hostile.start({QStringLiteral("--add-picture-redirect"),
                                m_otherHost.pictureUrl(QStringLiteral("/ASP/Bld_Anlegen.asp")).toString()}),
                 qPrintable(hostile.errorString()));
        const auto restore = useSim(hostile);
        startProgram(QStringLiteral("Holzwurm"), QStringLiteral("geheim"), 0);
        QStringList values;
        const auto watch = onNextModalOf<TfrmPicUpload>([&](TfrmPicUpload *window) {
            BrowserHost *host = window->WebBrowser();
            QSignalSpy completed(host, &BrowserHost::DocumentComplete);
            QSignalSpy filled(window, &TfrmPicUpload::uploadFormFilled);
            const QString otherHost = m_otherHost.pictureHost();
            (void)QTest::qWaitFor([&] {
                return std::any_of(completed.cbegin(), completed.cend(),
                                   [&](const QList<QVariant> &a) { return a.first().toString().contains(otherHost); });
            }, 20000);
            (void)filled.wait(1000);
            bool done = false;
            host->requestFormElements(0, [&](const QList<FormElementInfo> &elements) {
                for (const FormElementInfo &e : elements)
                    values << e.value;
                done = true;
            });
            (void)QTest::qWaitFor([&] { return done; }, 10000);
            window->close();
        });
        OpenPictureUpload(nullptr, true);
        QVERIFY(watch->acted && !watch->timedOut);
        QVERIFY2(values.size() >= 3, qPrintable(values.join(QLatin1Char('|'))));
        QCOMPARE(values.mid(1, 2), (QStringList{QString(), QString()}));
    }

    // Upload mode with a real picture chosen through the page's file field:
    // the number enters the history first, the editor's menu offers it, and
    // the inserted picture line points at a picture the server serves.
    void uploadedPictureGoesIntoThePost()
    {
        startProgram(QStringLiteral("Holzwurm"), QString(), 0);
        const QString jpeg = m_program.filePath(QStringLiteral("Werkbank.jpg"));
        QImage picture(320, 200, QImage::Format_RGB32);
        picture.fill(QColor(0xc8, 0x96, 0x5a));
        QVERIFY(picture.save(jpeg, "JPEG"));
        const auto previous = TarnvikWebPage::setFileChooser(
            [jpeg](QWidget *, bool, const QStringList &) { return QStringList{jpeg}; });

        TfrmEdit editor(nullptr, true);
        editor.show();
        QString taken;
        const auto watch = onNextModalOf<TfrmPicUpload>([&](TfrmPicUpload *window) {
            QSignalSpy filled(window, &TfrmPicUpload::uploadFormFilled);
            QSignalSpy pictures(window, &TfrmPicUpload::pictureTaken);
            if (!filled.wait(20000))
            { window->close(); return; }
            auto *host = static_cast<WebEngineHost *>(window->WebBrowser());
            // The file field opens its chooser only on a user's click.
            QVariantList centre;
            bool done = false;
            host->view()->page()->runJavaScript(
                QStringLiteral("var r = document.forms[0].elements[3].getBoundingClientRect();"
                               "[r.left + r.width / 2, r.top + r.height / 2];"),
                [&](const QVariant &v) {
                    centre = v.toList();
                    done = true;
                });
            (void)QTest::qWaitFor([&] { return done; }, 10000);
            QTest::mouseClick(host->view()->focusProxy(), Qt::LeftButton, {},
                              QPoint(centre.value(0).toInt(), centre.value(1).toInt()));
            QTest::qWait(500);
            host->runFormBatch({FormStep::click(4)}, [](const FormBatchResult &) {});
            if (pictures.wait(20000))
                taken = pictures.first().first().toString();
            (void)QTest::qWaitFor([window] { return window->UploadStep == 2; }, 10000);
            keepScreenshot(window, QStringLiteral("upload-done.png"), 1000);
            window->close();
        });
        editor.PicturePopup()->actions().at(0)->trigger();
        TarnvikWebPage::setFileChooser(previous);
        QVERIFY(watch->acted && !watch->timedOut);
        QVERIFY2(!taken.isEmpty(), "no picture page reached");
        QCOMPARE(DM->PicIDs().first(), taken);

        QAction *entry = editor.PicturePopup()->actions().value(3);
        QVERIFY(entry);
        QCOMPARE(entry->text(), QStringLiteral("Bild ID=") + taken);
        entry->trigger();
        const QString address = pictureAddress(taken);
        QVERIFY(editor.BodyText().contains(address));
        const QImage served = QImage::fromData(fetch(QUrl(address)));
        QCOMPARE(served.size(), QSize(320, 200));
    }
};

int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    TestAutomationE2E test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_automation_e2e.moc"
