#pragma once

#include "browser/BrowserHost.h"

#include <QDialog>

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

Q_SIGNALS:
    // The upload form was filled in (or the filling failed).
    void uploadFormFilled(bool ok);
    // A picture page was handled and its number taken.
    void pictureTaken(const QString &number);

private:
    void fillAddPicturePage(const QString &address);
    void handlePicturePage(const QString &address);

    Ui::TfrmPicUpload *ui;
    BrowserHost *m_browser = nullptr;
    bool m_busy = false; // a page's forms are being filled
};
