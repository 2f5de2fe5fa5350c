#pragma once

// A browser host without a browser: it records where it was sent and replays
// the events of a page whose title, body text and forms the test sets.
#include "browser/BrowserHost.h"

#include <QStringList>
#include <QUrl>
#include <QWidget>

class FakeBrowserHost : public BrowserHost
{
public:
    explicit FakeBrowserHost(QWidget *parent) : BrowserHost(parent), m_widget(new QWidget(parent)) {}

    QWidget *widget() override { return m_widget; }
    void Navigate(const QString &address) override { navigated << address; }
    void goBack() override { navigated << QStringLiteral("<back>"); }
    void goForward() override { navigated << QStringLiteral("<forward>"); }
    void allowLocalPageToSubmitToWeb() override { localPageMaySubmit = true; }
    void setFileChooser(FileChooser chooser) override { fileChooser = std::move(chooser); }
    void activateFileField(std::function<void(bool)> done) override
    {
        const bool field = fileChooser != nullptr;
        if (field)
            chosenFiles = fileChooser(m_widget, false, {});
        done(field);
    }
    QString DocumentTitle() const override { return title; }
    void requestBodyOuterHtml(std::function<void(const QString &)> callback, const QString & = {}) override
    {
        if (deferBody)
            pendingBody << callback;
        else
            callback(body);
    }
    void requestFormCount(std::function<void(int)> callback) override { callback(int(forms.size())); }
    void requestFormElements(int form, std::function<void(const QList<FormElementInfo> &)> callback) override
    {
        callback(forms.value(form));
    }
    void runFormBatch(const QList<FormStep> &steps, std::function<void(const FormBatchResult &)> callback) override
    {
        FormBatchResult result;
        for (int i = 0; i < steps.size(); ++i) {
            if (steps[i].kind == FormStep::RequirePage) {
                const QUrl want(steps[i].value), here(page);
                if (want.scheme() != here.scheme() || want.host() != here.host() || want.port() != here.port()
                    || want.path() != here.path()) {
                    result = {false, i, QStringLiteral("Die Seite ist nicht die erwartete")};
                    break;
                }
                continue;
            }
            if (forms.isEmpty() || steps[i].element >= forms.first().size()) {
                result = {false, i, QStringLiteral("Das Formular hat kein Element %1").arg(steps[i].element)};
                break;
            }
            batches << steps[i];
        }
        callback(result);
    }

    // Replays a finished navigation to `address`.
    void complete(const QString &address)
    {
        page = address;
        Q_EMIT NavigateComplete2(address);
        Q_EMIT DocumentComplete(address);
    }
    void releaseBodies()
    {
        const auto callbacks = std::exchange(pendingBody, {});
        for (const auto &callback : callbacks)
            callback(body);
    }

    QStringList navigated;
    QString page; // the address of the page shown, as the last complete() gave it
    QString title;
    QString body;
    QList<QList<FormElementInfo>> forms;
    QList<FormStep> batches;
    bool deferBody = false;
    bool localPageMaySubmit = false;
    FileChooser fileChooser;
    QStringList chosenFiles; // what the chooser returned when the file field was activated
    QList<std::function<void(const QString &)>> pendingBody;

private:
    QWidget *m_widget;
};
