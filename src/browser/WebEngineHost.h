#pragma once

#include "browser/BrowserHost.h"

#include <QPointer>
#include <QUrl>

class QWebEngineView;
class QWebEngineProfile;
class TarnvikWebPage;

// The browser host on Qt WebEngine. The program's own scripts run in the
// application's isolated world, apart from the page's scripts, and get their
// arguments as JSON.
class WebEngineHost : public BrowserHost
{
    Q_OBJECT
public:
    explicit WebEngineHost(QWidget *parentWidget, QWebEngineProfile *profile = nullptr);
    ~WebEngineHost() override;

    QWidget *widget() override;
    void Navigate(const QString &address) override;
    QString DocumentTitle() const override;
    void requestBodyOuterHtml(std::function<void(const QString &)> callback, const QString &stopAfter = {}) override;
    void requestFormCount(std::function<void(int)> callback) override;
    void requestFormElements(int form, std::function<void(const QList<FormElementInfo> &)> callback) override;
    void runFormBatch(const QList<FormStep> &steps, std::function<void(const FormBatchResult &)> callback) override;

    QWebEngineView *view() const { return m_view; }

    // Sets up the process for the engine; call before the application
    // object is created.
    static void prepareProcess();

    // The address a plain local path or a typed address is loaded as.
    static QUrl addressToUrl(const QString &address);

private:
    void onLoadStarted();
    void onLoadFinished(bool ok);
    void runScript(const QString &body, std::function<void(const QVariant &)> callback);

    QWebEngineView *m_view = nullptr;
    TarnvikWebPage *m_page = nullptr;
    quint64 m_loadGeneration = 0;
    QString m_helpers;
};
