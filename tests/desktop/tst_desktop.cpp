// The program as a desktop browser: the engine's sandbox decision, German
// engine texts and Accept-Language, and the back and forward keys, with the
// real main window against a small local server.
#include "browser/EngineSetup.h"
#include "browser/WebEngineHost.h"
#include "common/TestProgram.h"
#include "common/Widgets.h"
#include "main/Main.h"
#include "state/DModul.h"

#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>


using tarnvik::engine::decideSandbox;

using namespace testwidgets;

namespace {

// Serves a titled page for any path and notes each request's
// Accept-Language.
class PageServer : public QTcpServer
{
public:
    QStringList acceptLanguages;

    PageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
    }

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        socket->setProperty("request", request);
        if (!request.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> lines = request.left(request.indexOf("\r\n\r\n")).split('\n');
        const QByteArray path = lines.value(0).split(' ').value(1);
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("accept-language:"))
                acceptLanguages << QString::fromLatin1(line.mid(16).trimmed());
        }
        const QByteArray body = "<html><head><title>Seite " + path + "</title></head><body><p>Seite " + path
                                + "</p></body></html>";
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n"
                      "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }
};

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

    PageServer m_server;
    TestProgram m_program;

    TfrmMain *window() const { return m_program.main(); }

    QWebEngineView *view() const { return static_cast<WebEngineHost *>(window()->WebBrowser())->view(); }

    bool load(const QString &address)
    {
        QSignalSpy finished(view(), &QWebEngineView::loadFinished);
        window()->WebBrowser()->Navigate(address);
        return finished.wait(20000);
    }

    QString pageText()
    {
        auto text = std::make_shared<std::optional<QString>>();
        view()->page()->toPlainText([text](const QString &result) { *text = result; });
        if (!QTest::qWaitFor([&] { return text->has_value(); }, 10000))
            return QStringLiteral("<timeout>");
        return **text;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        // Section 3: the window opens without loading a page.
        QVERIFY(m_program.start(ProgramStart(3, ProgramStart::RealBrowser)));
        window()->resize(900, 600);
        window()->show();
        // The engine's view has Qt make the native window anew once after
        // it first shows, which takes the focus away again.
        QVERIFY(QTest::qWaitFor([this] {
            window()->activateWindow();
            return QTest::qWaitForWindowActive(window(), 500);
        }, 10000));
    }

    void cleanupTestCase() { m_program.stop(); }

    void sandbox_data()
    {
        QTest::addColumn<uint>("user");
        QTest::addColumn<QByteArray>("disable");
        QTest::addColumn<QByteArray>("flags");
        QTest::addColumn<bool>("sandboxed");
        QTest::addColumn<QByteArray>("disableAfter");
        QTest::addColumn<QByteArray>("flagsAfter");
        QTest::addColumn<bool>("says");
        QTest::newRow("user, nothing asked") << 1000u << QByteArray() << QByteArray("--disable-gpu") << true
                                             << QByteArray() << QByteArray("--disable-gpu") << false;
        QTest::newRow("user, old environment")
            << 1000u << QByteArray("1") << QByteArray("--disable-gpu --no-sandbox  --disable-setuid-sandbox --lang=de")
            << true << QByteArray() << QByteArray("--disable-gpu --lang=de") << true;
        QTest::newRow("user, variable 0") << 1000u << QByteArray("0") << QByteArray() << true << QByteArray()
                                          << QByteArray() << false;
        QTest::newRow("root") << 0u << QByteArray() << QByteArray() << false << QByteArray("1") << QByteArray() << true;
        QTest::newRow("root keeps its flags") << 0u << QByteArray("1") << QByteArray("--disable-gpu --no-sandbox")
                                              << false << QByteArray("1") << QByteArray("--disable-gpu --no-sandbox")
                                              << true;
    }

    void sandbox()
    {
        QFETCH(uint, user);
        QFETCH(QByteArray, disable);
        QFETCH(QByteArray, flags);
        const auto decision = decideSandbox(user, disable, flags);
        QTEST(decision.sandboxed, "sandboxed");
        QTEST(decision.disableVariable, "disableAfter");
        QTEST(decision.chromiumFlags, "flagsAfter");
        QTEST(!decision.notice.isEmpty(), "says");
    }

    void asksForGermanPages()
    {
        QVERIFY(load(m_server.url(QStringLiteral("/eins"))));
        QCOMPARE(m_server.acceptLanguages.value(0), QStringLiteral("de-DE,de;q=0.9"));
    }

    void altLeftAndAltRightGoBackAndForward()
    {
        QVERIFY(load(m_server.url(QStringLiteral("/eins"))));
        QVERIFY(load(m_server.url(QStringLiteral("/zwei"))));
        QWidget *page = view()->focusProxy();
        QVERIFY(page);
        page->setFocus();
        QTest::keyClick(page, Qt::Key_Left, Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(view()->url().path(), QStringLiteral("/eins"), 10000);
        QTest::keyClick(page, Qt::Key_Right, Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(view()->url().path(), QStringLiteral("/zwei"), 10000);
    }

    void errorPageAndContextMenuSpeakGerman()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        load(QStringLiteral("http://127.0.0.1:%1/").arg(port));
        QTRY_VERIFY_WITH_TIMEOUT(pageText().contains(QStringLiteral("Die Website ist nicht erreichbar")), 10000);

        QStringList captions;
        QTimer::singleShot(300, this, [&] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                for (const QAction *action : menu->actions())
                    captions << action->text();
                keepScreenshot(QStringLiteral("engine-error-page-menu.png"));
                menu->close();
            }
        });
        QWidget *page = view()->focusProxy();
        QTest::mouseClick(page, Qt::RightButton, {}, QPoint(page->width() / 2, page->height() - 40));
        QTRY_VERIFY_WITH_TIMEOUT(!captions.isEmpty(), 5000);
        QVERIFY2(captions.contains(QStringLiteral("Zurück")) && captions.contains(QStringLiteral("Neu laden")),
                 qPrintable(captions.join(QLatin1String(" | "))));
    }
};

int main(int argc, char *argv[])
{
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    tarnvik::engine::setUpGerman(app);
    TestDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
