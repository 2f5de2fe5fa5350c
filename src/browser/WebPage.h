#pragma once

#include "browser/BrowserHost.h"

#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>

class QWidget;

// The page class of every embedded browser of the program. It tells when a
// new document is in place, shows the page's dialogs (alert, confirm,
// prompt) so that a page cannot trap the user with them, and answers the
// page's file fields with a real file dialog.
class TarnvikWebPage : public QWebEnginePage
{
    Q_OBJECT
public:
    explicit TarnvikWebPage(QWebEngineProfile *profile, QObject *parent = nullptr);

    // Address of the last navigation of the top document that was let through.
    QUrl pendingUrl;

    // Picks the files for a page's file field (see BrowserHost). Tests put
    // their own chooser in place; an empty one restores the standard
    // dialog. Returns the chooser it replaces.
    using FileChooser = BrowserHost::FileChooser;
    static FileChooser setFileChooser(FileChooser chooser);
    // The program's chooser as above: the tests' one, else the standard dialog.
    static QStringList chooseWithProgramChooser(QWidget *parent, bool multiple, const QStringList &acceptedMimeTypes);
    // This page's own chooser, asked in place of the program's (the upload
    // window prepares the chosen pictures in it); an empty one gives the
    // page back to the program's.
    void setPageFileChooser(FileChooser chooser) { m_pageChooser = std::move(chooser); }

    // A new document has started to load: its dialogs count afresh.
    void resetDialogs();

Q_SIGNALS:
    // The top document's DOM has been parsed (the program's ready marker
    // came back from it); `address` is the document's own address.
    void documentReady(const QString &address);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int lineNumber,
                                  const QString &sourceID) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;

private:
    enum class DialogKind { Alert, Confirm, Prompt };
    // Shows one page dialog unless the user asked for no more; false when it
    // was not shown or the user cancelled.
    bool showPageDialog(DialogKind kind, const QUrl &origin, const QString &message, const QString &defaultValue,
                        QString *result);
    void installReadyMarker();

    QString m_marker;
    FileChooser m_pageChooser;
    int m_dialogsShown = 0;
    bool m_dialogsSuppressed = false;
};
