#include "browser/WebEngineHost.h"

#include "browser/EngineSetup.h"
#include "browser/FindBar.h"
#include "browser/HangWatchdog.h"
#include "browser/LinkRoute.h"
#include "browser/PageShortcuts.h"
#include "browser/WebPage.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "ui_PageProblem.h"

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

namespace {

QString loadHelpers()
{
    QFile file(QStringLiteral(":/scripts/tarnvik-page.js"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString toJson(const QJsonValue &value)
{
    QJsonArray wrapper{value};
    const QByteArray json = QJsonDocument(wrapper).toJson(QJsonDocument::Compact);
    // Strip the array brackets: what remains is one JSON value.
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

const QString kHungText = QStringLiteral("Die Seite reagiert nicht mehr.");
const QString kCrashedText = QStringLiteral("Die Anzeige der Seite ist abgestürzt.");

} // namespace

WebEngineHost::WebEngineHost(QWidget *parentWidget, QWebEngineProfile *profile)
    : BrowserHost(parentWidget), m_helpers(loadHelpers())
{
    m_container = new QWidget(parentWidget);
    auto *layout = new QVBoxLayout(m_container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_problem = new QFrame(m_container);
    m_problemUi = new Ui::PageProblem;
    m_problemUi->setupUi(static_cast<QFrame *>(m_problem));
    m_problem->setAutoFillBackground(true);
    QPalette palette = m_problem->palette();
    palette.setColor(QPalette::Window, QColor(0xff, 0xf4, 0xc2));
    palette.setColor(QPalette::WindowText, Qt::black);
    m_problem->setPalette(palette);
    m_problem->hide();
    layout->addWidget(m_problem);
    connect(m_problemUi->btnReload, &QPushButton::clicked, this, &WebEngineHost::reloadAfterProblem);

    m_view = new QWebEngineView(m_container);
    m_page = new TarnvikWebPage(profile ? profile : QWebEngineProfile::defaultProfile(), m_view);
    m_view->setPage(m_page);
    layout->addWidget(m_view, 1);
    // The container only holds the page; the keyboard goes to the page.
    m_container->setFocusProxy(m_view);

    m_findBar = new FindBar(m_page, m_container);
    layout->addWidget(m_findBar);
    connect(m_findBar, &FindBar::dismissed, m_view, [this] { m_view->setFocus(Qt::OtherFocusReason); });
    tarnvik::addPageShortcuts(m_container, m_page, m_findBar);
    connect(m_page, &QWebEnginePage::newWindowRequested, this, &WebEngineHost::onNewWindowRequested);

    connect(m_page, &QWebEnginePage::loadStarted, this, &WebEngineHost::onLoadStarted);
    connect(m_page, &TarnvikWebPage::documentReady, this, &WebEngineHost::onDocumentReady);
    connect(m_page, &QWebEnginePage::loadFinished, this, &WebEngineHost::onLoadFinished);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (m_reloadAfterKill) {
                    // The hung process was ended on the user's word; now the
                    // page can come again.
                    m_reloadAfterKill = false;
                    reloadAfterProblem();
                    return;
                }
                if (status == QWebEnginePage::NormalTerminationStatus)
                    return;
                m_processGone = true;
                m_watchdog->processEnded();
                showProblem(m_watchdog->isHung() ? kHungText : kCrashedText);
            });

    m_watchdog = new HangWatchdog(m_page, this);
    connect(m_watchdog, &HangWatchdog::hung, this, [this] { showProblem(kHungText); });
    connect(m_watchdog, &HangWatchdog::answersAgain, this, &WebEngineHost::hideProblem);
}

WebEngineHost::~WebEngineHost()
{
    delete m_problemUi;
}

QWidget *WebEngineHost::widget()
{
    return m_container;
}

QString WebEngineHost::problemText() const
{
    return m_problem->isHidden() ? QString() : m_problemUi->lblProblem->text();
}

void WebEngineHost::setHangThreshold(int milliseconds)
{
    HangWatchdog::setThreshold(milliseconds);
}

void WebEngineHost::prepareProcess()
{
    // Chromium's sandbox refuses to run for the superuser; everyone else
    // keeps it.
    tarnvik::engine::applySandboxDecision();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

QUrl WebEngineHost::addressToUrl(const QString &address)
{
    const QString trimmed = address.trimmed();
    if (QFileInfo(trimmed).isAbsolute() && !trimmed.contains(QLatin1String("://")))
        return QUrl::fromLocalFile(trimmed);
    return QUrl::fromUserInput(trimmed);
}

void WebEngineHost::Navigate(const QString &address)
{
    const QUrl url = addressToUrl(address);
    m_page->pendingUrl = url;
    m_page->load(url);
}

void WebEngineHost::goBack()
{
    m_page->triggerAction(QWebEnginePage::Back);
}

void WebEngineHost::goForward()
{
    m_page->triggerAction(QWebEnginePage::Forward);
}

void WebEngineHost::allowLocalPageToSubmitToWeb()
{
    m_page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
}

void WebEngineHost::setFileChooser(FileChooser chooser)
{
    m_page->setPageFileChooser(std::move(chooser));
}

void WebEngineHost::activateFileField(std::function<void(bool)> done)
{
    // The field gets the focus, then a key press that counts as the user's.
    QPointer<WebEngineHost> self(this);
    m_page->runJavaScript(
        QStringLiteral("(function () { var f = document.querySelector('input[type=file]');"
                       " if (!f) return false; f.focus(); return document.activeElement === f; })()"),
        QWebEngineScript::ApplicationWorld, [self, done = std::move(done)](const QVariant &focused) {
            QWidget *target = self ? self->m_view->focusProxy() : nullptr;
            if (!target || !focused.toBool()) {
                if (done)
                    done(false);
                return;
            }
            self->m_view->setFocus();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
            QCoreApplication::sendEvent(target, &press);
            QCoreApplication::sendEvent(target, &release);
            if (done)
                done(true);
        });
}

void WebEngineHost::onNewWindowRequested(QWebEngineNewWindowRequest &request)
{
    // Only what the user asked for: a page's script cannot send the desktop's
    // browser anywhere.
    if (!request.isUserInitiated())
        return;
    tarnvik::openNewWindowLink(request.requestedUrl(), [this](const QUrl &url) {
        m_page->pendingUrl = url;
        m_page->load(url);
    });
}

QString WebEngineHost::DocumentTitle() const
{
    // A page without a title of its own reports its address as title;
    // the program wants its real (empty) title then.
    const QString title = m_page->title();
    if (title == m_page->url().toString() || title == m_page->url().toDisplayString()
        || title == m_page->url().toString(QUrl::RemoveScheme).mid(2))
        return {};
    return title;
}

void WebEngineHost::runScript(const QString &body, std::function<void(const QVariant &)> callback)
{
    QPointer<WebEngineHost> self(this);
    m_page->runJavaScript(m_helpers + QLatin1Char('\n') + body, QWebEngineScript::ApplicationWorld,
                          [self, callback = std::move(callback)](const QVariant &result) {
                              if (self && callback)
                                  callback(result);
                          });
}

void WebEngineHost::requestBodyOuterHtml(std::function<void(const QString &)> callback, const QString &stopAfter)
{
    const QString argument = stopAfter.isEmpty() ? QStringLiteral("null") : toJson(stopAfter);
    runScript(QStringLiteral("tarnvik.markerOuterHtml(document.body, %1);").arg(argument),
              [callback = std::move(callback)](const QVariant &result) { callback(result.toString()); });
}

void WebEngineHost::requestFormCount(std::function<void(int)> callback)
{
    runScript(QStringLiteral("document.forms.length;"),
              [callback = std::move(callback)](const QVariant &result) { callback(result.toInt()); });
}

void WebEngineHost::requestFormElements(int form, std::function<void(const QList<FormElementInfo> &)> callback)
{
    runScript(QStringLiteral("tarnvik.formElements(%1);").arg(form),
              [callback = std::move(callback)](const QVariant &result) {
                  QList<FormElementInfo> elements;
                  for (const QVariant &item : result.toList()) {
                      const QVariantMap map = item.toMap();
                      elements.append({map.value(QStringLiteral("name")).toString(),
                                       map.value(QStringLiteral("type")).toString(),
                                       map.value(QStringLiteral("value")).toString()});
                  }
                  callback(elements);
              });
}

void WebEngineHost::runFormBatch(const QList<FormStep> &steps, std::function<void(const FormBatchResult &)> callback)
{
    QJsonArray list;
    for (const FormStep &step : steps)
        list.append(QJsonObject{{QStringLiteral("kind"), int(step.kind)},
                                {QStringLiteral("element"), step.element},
                                {QStringLiteral("value"), step.value}});
    runScript(QStringLiteral("tarnvik.runFormBatch(%1);").arg(toJson(list)),
              [callback = std::move(callback), count = steps.size()](const QVariant &result) {
                  FormBatchResult outcome;
                  const QVariantMap map = result.toMap();
                  if (map.isEmpty()) {
                      outcome.ok = false;
                      outcome.failedStep = count > 0 ? 0 : -1;
                      outcome.error = QStringLiteral("Das Dokument ist nicht zugänglich");
                  } else {
                      outcome.ok = map.value(QStringLiteral("ok")).toBool();
                      outcome.failedStep = map.value(QStringLiteral("failedStep")).toInt();
                      outcome.error = map.value(QStringLiteral("error")).toString();
                  }
                  callback(outcome);
              });
}

void WebEngineHost::onLoadStarted()
{
    ++m_loadGeneration;
    m_navigateCompleted = false;
    m_page->resetDialogs();
    m_processGone = false;
    m_watchdog->reset();
    hideProblem();
}

void WebEngineHost::emitNavigateComplete(const QString &address)
{
    if (m_navigateCompleted)
        return;
    m_navigateCompleted = true;
    Q_EMIT NavigateComplete2(address);
}

void WebEngineHost::onDocumentReady(const QString &address)
{
    // The new document is in place and parsed: what the handlers count and
    // fill now belongs to it, not to the page before.
    emitNavigateComplete(address);
}

void WebEngineHost::onLoadFinished(bool)
{
    // A load that never reached a parsed document of its own (an error
    // page, an aborted load) still reports its navigation first.
    QUrl url = m_page->url();
    if (url.isEmpty())
        url = m_page->pendingUrl;
    emitNavigateComplete(url.toString());

    // The frames have finished before the page that holds them; each gets
    // its event first, the top document last.
    const quint64 generation = m_loadGeneration;
    QPointer<WebEngineHost> self(this);
    runScript(QStringLiteral("tarnvik.frameUrls();"), [this, self, generation](const QVariant &result) {
        if (!self || generation != m_loadGeneration)
            return;
        for (const QVariant &frame : result.toList()) {
            Q_EMIT DocumentComplete(frame.toString());
            if (!self || generation != m_loadGeneration)
                return;
        }
        QUrl url = m_page->url();
        if (url.isEmpty())
            url = m_page->pendingUrl;
        Q_EMIT DocumentComplete(url.toString());
    });
}

void WebEngineHost::showProblem(const QString &text)
{
    m_problemUi->lblProblem->setText(text);
    m_problem->show();
    Q_EMIT pageProblem(text);
}

void WebEngineHost::hideProblem()
{
    m_problem->hide();
    m_problemUi->lblProblem->clear();
}

void WebEngineHost::reloadAfterProblem()
{
#ifdef Q_OS_UNIX
    // A hung page process never finishes what it does; it has to go before
    // the page can be loaded again.
    const qint64 pid = m_page->renderProcessPid();
    if (m_watchdog->isHung() && !m_processGone && pid > 0 && !m_reloadAfterKill) {
        m_reloadAfterKill = true;
        hideProblem();
        ::kill(pid_t(pid), SIGKILL);
        return;
    }
#endif
    m_watchdog->reset();
    hideProblem();
    const QUrl url = m_page->url().isEmpty() ? m_page->pendingUrl : m_page->url();
    if (!url.isEmpty()) {
        m_processGone = false;
        m_page->load(url);
    }
}

namespace tarnvik {
namespace {
BrowserFactory &browserFactory()
{
    static BrowserFactory factory;
    return factory;
}
} // namespace

BrowserHost *makeBrowser(QWidget *parent)
{
    const BrowserFactory &factory = browserFactory();
    return factory ? factory(parent) : new WebEngineHost(parent);
}

BrowserFactory setBrowserFactory(BrowserFactory factory)
{
    BrowserFactory previous = std::move(browserFactory());
    browserFactory() = std::move(factory);
    return previous;
}
} // namespace tarnvik
