#pragma once

#include "browser/BrowserHost.h"

#include <QDialog>

#include <atomic>
#include <memory>

class QTemporaryDir;

namespace Ui {
class TfrmPicUpload;
}

// Leads the user through the picture site's pages modally over `owner`, in
// upload mode or manage mode; true when a picture number was added to the
// history meanwhile.
bool OpenPictureUpload(QWidget *owner, bool uploadMode);

// The picture upload window: the picture site's own pages, with the user's
// name and password filled in, and the number of a picture taken into the
// history as soon as the picture's own page is shown.
class TfrmPicUpload : public QDialog
{
    Q_OBJECT
public:
    TfrmPicUpload(QWidget *owner, bool uploadMode);
    ~TfrmPicUpload() override;

    BrowserHost *WebBrowser() const { return m_browser; }

    // A picture number has been handed to the history.
    bool PictureTaken = false;
    // 0 fill the upload form, 1 watch for a picture page, 2 finished.
    qint32 UploadStep = 0;

    void WebBrowserDocumentComplete(const QString &address);

    // What the page gets for the files the user chose in its file field:
    // each picture prepared for the forum (upright, small, without its
    // location) off the user-interface thread, with the window answering
    // meanwhile; nothing when a picture cannot be used (the message comes
    // after). The line under the page says what was done.
    QStringList preparedFiles(const QStringList &chosen);
    // The line under the page, empty while it is hidden.
    QString preparedLine() const;
    // The original of the last prepared picture goes to the page instead.
    void useOriginal();

    void done(int result) override;

Q_SIGNALS:
    // The upload form was filled in (or the filling failed).
    void uploadFormFilled(bool ok);
    // A picture page was handled and its number taken.
    void pictureTaken(const QString &number);

private:
    void fillAddPicturePage(const QString &address);
    void handlePicturePage(const QString &address);
    void submitPicturePage(const QString &address);
    QStringList chooseFiles(QWidget *parent, bool multiple, const QStringList &acceptedMimeTypes);
    void showPrepared(const QString &line, bool originalOffered);

    Ui::TfrmPicUpload *ui;
    BrowserHost *m_browser = nullptr;
    bool m_busy = false; // a page's forms are being filled

    // The prepared copies, removed with the window.
    std::unique_ptr<QTemporaryDir> m_preparedFolder;
    std::shared_ptr<std::atomic_bool> m_cancelPreparing; // set while a picture is prepared
    QString m_original; // the last chosen picture
    QString m_copy;     // its prepared copy, empty when it went as it was
    QString m_originalRequested; // the next file request gets this file, without a dialog
};
