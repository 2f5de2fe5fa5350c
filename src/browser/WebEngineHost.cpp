#include "browser/WebEngineHost.h"

#include "browser/EngineSetup.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineView>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// Remembers the address of the last navigation of the top document, so that
// the navigation event names where the browser is going, not where it was.
class TarnvikWebPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;
    QUrl pendingUrl;

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        if (isMainFrame)
            pendingUrl = url;
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }
};

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

} // namespace

WebEngineHost::WebEngineHost(QWidget *parentWidget, QWebEngineProfile *profile)
    : BrowserHost(parentWidget), m_helpers(loadHelpers())
{
    m_view = new QWebEngineView(parentWidget);
    m_page = new TarnvikWebPage(profile ? profile : QWebEngineProfile::defaultProfile(), m_view);
    m_view->setPage(m_page);
    connect(m_page, &QWebEnginePage::loadStarted, this, &WebEngineHost::onLoadStarted);
    connect(m_page, &QWebEnginePage::loadFinished, this, &WebEngineHost::onLoadFinished);
}

WebEngineHost::~WebEngineHost() = default;

QWidget *WebEngineHost::widget()
{
    return m_view;
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
    runScript(QStringLiteral("tarnvik.legacyOuterHtml(document.body, %1);").arg(argument),
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
    const QUrl url = m_page->pendingUrl.isEmpty() ? m_page->requestedUrl() : m_page->pendingUrl;
    Q_EMIT NavigateComplete2(url.toString());
}

void WebEngineHost::onLoadFinished(bool)
{
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
