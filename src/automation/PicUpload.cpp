#include "automation/PicUpload.h"

#include "automation/PictureSite.h"
#include "browser/WebEngineHost.h"
#include "state/DModul.h"
#include "state/ErrorReport.h"
#include "state/PasswortWait.h"
#include "ui_PicUpload.h"

#include <QPointer>

using namespace tarnvik;

bool OpenPictureUpload(QWidget *owner, bool uploadMode)
{
    TfrmPicUpload window(owner, uploadMode);
    window.exec();
    return window.PictureTaken;
}

TfrmPicUpload::TfrmPicUpload(QWidget *owner, bool uploadMode)
    : QDialog(owner), ui(new Ui::TfrmPicUpload)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    move(173, 122);

    m_browser = makeBrowser(this);
    m_browser->setParent(this);
    m_browser->widget()->setAccessibleName(QStringLiteral("Bilderseite"));
    ui->uploadLayout->addWidget(m_browser->widget());
    connect(m_browser, &BrowserHost::DocumentComplete, this, &TfrmPicUpload::WebBrowserDocumentComplete);

    PictureTaken = false;
    if (uploadMode) {
        UploadStep = 0;
        m_browser->Navigate(picturesite::addPicturePage());
    } else {
        UploadStep = 1;
        m_browser->Navigate(picturesite::newPicturesPage());
    }
}

TfrmPicUpload::~TfrmPicUpload()
{
    delete ui;
}

void TfrmPicUpload::WebBrowserDocumentComplete(const QString &address)
{
    if (m_busy)
        return;
    if (UploadStep == 0) {
        // Name and password go into the picture host's own add-picture page
        // only, never into a page another host answers with.
        if (!picturesite::isAddPicturePage(address))
            return;
        m_busy = true;
        QPointer<TfrmPicUpload> self(this);
        afterPasswortKnown(this, [self, address] {
            if (self)
                self->fillAddPicturePage(address);
        });
        return;
    }
    if (UploadStep == 1 && picturesite::isPicturePage(address))
        handlePicturePage(address);
}

void TfrmPicUpload::fillAddPicturePage(const QString &address)
{
    QPointer<TfrmPicUpload> self(this);
    m_browser->requestFormCount([self, address](int forms) {
        if (!self)
            return;
        self->m_busy = false;
        if (forms <= 0 || self->UploadStep != 0)
            return;
        self->UploadStep = 1;
        QList<FormStep> steps{FormStep::requirePage(address)};
        steps += picturesite::addPictureSteps(DM ? DM->Name() : QString(), DM ? DM->Passwort() : QString());
        self->m_browser->runFormBatch(steps, [self](const FormBatchResult &result) {
            if (!self)
                return;
            if (!result.ok && result.failedStep == 0) {
                // The page changed meanwhile: the next add-picture page is filled.
                self->UploadStep = 0;
                return;
            }
            if (!result.ok)
                reportError(result.error);
            Q_EMIT self->uploadFormFilled(result.ok);
        });
    });
}

void TfrmPicUpload::handlePicturePage(const QString &address)
{
    // Whatever goes wrong here ends the handling without a word; the next
    // picture page is tried again.
    const std::optional<QString> number = picturesite::pictureNumber(address);
    if (!number)
        return;
    if (DM)
        DM->AddPicID(*number);
    PictureTaken = true;
    Q_EMIT pictureTaken(*number);

    m_busy = true;
    QPointer<TfrmPicUpload> self(this);
    afterPasswortKnown(this, [self, address] {
        if (!self)
            return;
        self->m_browser->requestFormCount([self, address](int forms) {
            if (!self)
                return;
            if (forms <= 0) {
                self->m_busy = false;
                self->UploadStep = 2;
                return;
            }
            // The click leaves the page; the step is over before its answer comes.
            self->UploadStep = 2;
            QList<FormStep> steps{FormStep::requirePage(address)};
            steps += picturesite::picturePageSteps(DM ? DM->Passwort() : QString());
            self->m_browser->runFormBatch(steps, [self](const FormBatchResult &result) {
                if (!self)
                    return;
                self->m_busy = false;
                if (!result.ok)
                    self->UploadStep = 1;
            });
        });
    });
}
