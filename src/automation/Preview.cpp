#include "automation/Preview.h"

#include "automation/PostForm.h"
#include "browser/WebEngineHost.h"
#include "browser/WebPage.h"
#include "state/DModul.h"
#include "state/DialogFont.h"
#include "state/Endpoints.h"
#include "state/ErrorReport.h"
#include "ui_Preview.h"

#include <QDir>
#include <QPointer>
#include <QWebEngineSettings>

using namespace tarnvik;

bool OpenPreview(QWidget *owner, qint32 threadNumber, const QString &body, const QString &subject)
{
    TfrmPreview preview(owner);
    if (!preview.Prepare(threadNumber, body, subject))
        return false;
    preview.exec();
    return preview.Published();
}

TfrmPreview::TfrmPreview(QWidget *owner)
    : QDialog(owner), ui(new Ui::TfrmPreview)
{
    substituteDialogFont();
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    move(264, 202);

    m_browser = makeBrowser(ui->browserArea);
    m_browser->setParent(this);
    m_browser->widget()->setAccessibleName(QStringLiteral("Vorschau des Forums"));
    ui->browserLayout->addWidget(m_browser->widget());
    connect(m_browser, &BrowserHost::NavigateComplete2, this, &TfrmPreview::WebBrowserNavigateComplete2);
    // The work page is a local file whose form goes to the forum; the engine
    // lets a local page send to a web address only when told so, and only
    // this window's page is told.
    m_browser->allowLocalPageToSubmitToWeb();

    ui->Label1->hide();
    ui->btnSend->setEnabled(false);
    ui->btnSend->hide();
    ui->btnSend->setAccessibleName(ui->btnSend->text());
    ui->Button->setAccessibleName(ui->Button->text());
    connect(ui->btnSend, &QPushButton::clicked, this, &TfrmPreview::SendPost);
    connect(ui->Button, &QPushButton::clicked, this, &TfrmPreview::ButtonClick);

    TimerClose.setInterval(3000);
    TimerClose.setSingleShot(true);
    connect(&TimerClose, &QTimer::timeout, this, &TfrmPreview::TimerCloseTimer);
}

TfrmPreview::~TfrmPreview()
{
    delete ui;
}

bool TfrmPreview::Prepare(qint32 threadNumber, const QString &body, const QString &subject)
{
    PostBody = body;
    PostSubject = subject;
    ThreadNo = threadNumber;
    SendState = 0;

    const QString templateFile = DM ? DM->DataFile(QStringLiteral("Response.html")) : QString();
    QStringList lines;
    QString error;
    if (!postform::readTemplate(templateFile, lines, error)
        || !postform::insertSectionWord(lines, DM ? DM->Forum() : Forums::None, error)) {
        reportError(error);
        return false;
    }
    const QString folder = DM ? DM->WorkPath() : QString();
    m_workPage = folder.isEmpty() ? QString() : folder + QStringLiteral("Temp.html");
    if (m_workPage.isEmpty()) {
        reportError(QStringLiteral("Datei \"Temp.html\" kann nicht erstellt werden. "
                                   "Es gibt keinen beschreibbaren Ordner für Arbeitsdateien"));
        return false;
    }
    if (!postform::writeWorkPage(m_workPage, lines, error)) {
        reportError(error);
        return false;
    }
    m_browser->Navigate(QDir::toNativeSeparators(m_workPage));
    return true;
}

void TfrmPreview::WebBrowserNavigateComplete2(const QString &)
{
    const quint64 navigation = ++m_navigation;
    if (SendState == 2) {
        m_answeredAfterSend = true;
        // The count starts at the first page after the click.
        if (!TimerClose.isActive())
            TimerClose.start();
        return;
    }
    if (SendState == 1) {
        updateSendPath();
        return;
    }
    if (SendState != 0)
        return;

    // The submission is tried exactly once per window.
    SendState = 1;
    QPointer<TfrmPreview> self(this);
    m_browser->requestFormCount([self, navigation](int forms) {
        if (!self || forms <= 0 || navigation != self->m_navigation)
            return;
        postform::Post post;
        post.threadNumber = self->ThreadNo;
        post.name = DM ? DM->Name() : QString();
        post.siteWord = endpoints().forumSiteWord;
        post.email = DM ? DM->EMail() : QString();
        post.subject = self->PostSubject;
        post.body = self->PostBody;
        post.password = DM ? DM->Passwort() : QString();
        self->m_browser->runFormBatch(postform::fillSteps(post), [self](const FormBatchResult &result) {
            if (!self)
                return;
            if (!result.ok) {
                reportError(result.error);
                return;
            }
            self->ui->btnSend->setEnabled(true);
        });
    });
}

void TfrmPreview::updateSendPath()
{
    // The send path belongs to the forum's preview page only: an error page
    // of the forum (wrong password, empty subject) must not look like a
    // post that can be sent.
    const quint64 navigation = m_navigation;
    QPointer<TfrmPreview> self(this);
    m_browser->requestFormElements(0, [self, navigation](const QList<FormElementInfo> &elements) {
        if (!self || navigation != self->m_navigation || self->SendState != 1)
            return;
        const bool previewPage = postform::publishButton(elements) >= 0;
        self->ui->Label1->setVisible(previewPage);
        self->ui->btnSend->setVisible(previewPage);
        Q_EMIT self->forumPageShown(previewPage);
    });
}

void TfrmPreview::SendPost()
{
    QPointer<TfrmPreview> self(this);
    m_browser->requestFormCount([self](int forms) {
        if (!self || forms <= 0)
            return;
        self->m_browser->requestFormElements(0, [self](const QList<FormElementInfo> &elements) {
            if (!self)
                return;
            QString error;
            const int button = postform::publishButton(elements, &error);
            if (button == -2) {
                reportError(error);
                return;
            }
            if (button < 0)
                return;
            // The answer to the click may come quickly; the state is set first.
            const qint32 before = self->SendState;
            self->SendState = 2;
            // The post is on its way: a second click would send it twice.
            self->ui->btnSend->setEnabled(false);
            self->m_browser->runFormBatch({FormStep::click(button)}, [self, before](const FormBatchResult &result) {
                if (!self || result.ok)
                    return;
                self->SendState = before;
                self->ui->btnSend->setEnabled(true);
                reportError(result.error);
            });
        });
    });
}

void TfrmPreview::ButtonClick()
{
    reject();
}

void TfrmPreview::TimerCloseTimer()
{
    ButtonClick();
}
