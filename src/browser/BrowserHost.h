#pragma once

#include "browser/FormStep.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// What the program needs of an embedded web browser and of the page it shows.
// Reads that need the page's scripting engine answer through a callback on the
// user-interface thread; a callback is dropped when the host is gone.
class BrowserHost : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~BrowserHost() override = default;

    // The control to place in a window.
    virtual QWidget *widget() = 0;

    // Starts loading an "http://" address or a local file path; returns at once.
    virtual void Navigate(const QString &address) = 0;

    // One step back or forward in the browser's history, where there is one.
    virtual void goBack() = 0;
    virtual void goForward() = 0;

    // Lets a local page (a file) submit its forms to a web address, which a
    // browser refuses by default. For a window that fills and sends a page
    // of its own making.
    virtual void allowLocalPageToSubmitToWeb() = 0;

    // Picks the files for this browser's file fields: given the window to
    // show a dialog over, whether several files may be chosen and the types
    // the field accepts; absolute paths, or nothing when cancelled. Empty:
    // the program's chooser (TarnvikWebPage::setFileChooser).
    using FileChooser = std::function<QStringList(QWidget *parent, bool multiple, const QStringList &acceptedMimeTypes)>;
    virtual void setFileChooser(FileChooser chooser) = 0;
    // Opens the chooser of the page's first file field as the user's own
    // click would (a page opens it only on a user's input); `done` says
    // whether the page had such a field.
    virtual void activateFileField(std::function<void(bool)> done) = 0;

    // Title of the document shown now.
    virtual QString DocumentTitle() const = 0;

    // The body's markup in the form the page markers are written for: tag
    // names in capitals, attribute names in small letters, simple attribute
    // values without quotes, every block element on a line of its own, lines
    // ended by CR LF. With
    // `stopAfter` given, the text ends with the first line after the first
    // one that holds it (all of it when no line does).
    virtual void requestBodyOuterHtml(std::function<void(const QString &)> callback, const QString &stopAfter = {}) = 0;

    virtual void requestFormCount(std::function<void(int)> callback) = 0;

    // Name, type and value of every element of form `form`, in document order.
    virtual void requestFormElements(int form, std::function<void(const QList<FormElementInfo> &)> callback) = 0;

    // Runs the steps in order on the first form and stops at the first failing one.
    virtual void runFormBatch(const QList<FormStep> &steps, std::function<void(const FormBatchResult &)> callback) = 0;

Q_SIGNALS:
    // Once per navigation, also one caused by a form submission, before its
    // DocumentComplete.
    void NavigateComplete2(const QString &address);
    // A document finished loading: each frame's, then the top document's.
    void DocumentComplete(const QString &address);
};

// Makes the browser host for a window; the tests hand in a fake one.
using BrowserFactory = std::function<BrowserHost *(QWidget *parent)>;

namespace tarnvik {
// The browser host of the preview and picture upload windows: Qt WebEngine
// unless a factory has been put in place.
BrowserHost *makeBrowser(QWidget *parent);
// Puts a factory in place (an empty one restores Qt WebEngine) and returns
// the one it replaces.
BrowserFactory setBrowserFactory(BrowserFactory factory);
} // namespace tarnvik
