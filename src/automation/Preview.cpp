#include "automation/Preview.h"

#include "automation/PageAddress.h"
#include "automation/PostForm.h"
#include "state/DModul.h"
#include "state/DialogFont.h"
#include "state/Endpoints.h"
#include "state/ErrorReport.h"
#include "state/PasswortWait.h"
#include "ui_Preview.h"

#include <QDir>
#include <QPointer>

using namespace tarnvik;

namespace {
const QString kSendingNote =
    QStringLiteral("Der Beitrag wird gesendet. Das Fenster schließt, sobald das Forum antwortet.");
const QString kNotPublishedNote = QStringLiteral(
    "Der Beitrag wurde nicht veröffentlicht: Das Forum hat ihn nicht bestätigt (seine Antwort steht oben). "
    "Der Text bleibt im Editor.");
const QString kSilentNote = QStringLiteral(
    "Das Forum antwortet nicht. Ob der Beitrag veröffentlicht wurde, zeigt die Übersicht des Forums.");
// A close request waits this long for the forum's answer to "Abschicken".
constexpr int kAnswerWaitMs = 30000;
} // namespace

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
    ui->lblNote->hide();
    ui->btnSend->setEnabled(false);
    ui->btnSend->hide();
    ui->btnSend->setAccessibleName(ui->btnSend->text());
    ui->Button->setAccessibleName(ui->Button->text());
    connect(ui->btnSend, &QPushButton::clicked, this, &TfrmPreview::SendPost);
    connect(ui->Button, &QPushButton::clicked, this, &TfrmPreview::ButtonClick);

    TimerClose.setInterval(3000);
    TimerClose.setSingleShot(true);
    connect(&TimerClose, &QTimer::timeout, this, &TfrmPreview::TimerCloseTimer);
    m_answerWait.setInterval(kAnswerWaitMs);
    m_answerWait.setSingleShot(true);
    connect(&m_answerWait, &QTimer::timeout, this, &TfrmPreview::forumSilent);
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
    m_forum = DM ? DM->Forum() : Forums::None;

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

void TfrmPreview::WebBrowserNavigateComplete2(const QString &address)
{
    const quint64 navigation = ++m_navigation;
    m_pageAddress = address;
    if (SendState == 2) {
        takeAnswer(address);
        return;
    }
    if (SendState == 1) {
        updateSendPath();
        return;
    }
    if (SendState != 0)
        return;

    // The submission is tried exactly once per window, and only on the work
    // page this window wrote: name and password go nowhere else.
    SendState = 1;
    if (!pageaddress::isPage(QUrl(address), QUrl::fromLocalFile(m_workPage)))
        return;
    // Runs only while the window lives.
    afterPasswortKnown(this, [this, navigation] { fillWorkPage(navigation); });
}

void TfrmPreview::fillWorkPage(quint64 navigation)
{
    if (navigation != m_navigation)
        return;
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
        const QUrl workPage = QUrl::fromLocalFile(self->m_workPage);
        QList<FormStep> steps{FormStep::requirePage(workPage.toString(QUrl::FullyEncoded))};
        steps += postform::fillSteps(post);
        self->m_browser->runFormBatch(steps, [self](const FormBatchResult &result) {
            if (!self)
                return;
            // A page that is no longer the work page is left alone quietly.
            if (!result.ok) {
                if (result.failedStep > 0)
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
    // of the forum (wrong password, empty subject) or a page of another
    // host must not look like a post that can be sent.
    const quint64 navigation = m_navigation;
    const bool forumScript = pageaddress::isPage(QUrl(m_pageAddress), postform::scriptAddress(m_forum));
    QPointer<TfrmPreview> self(this);
    m_browser->requestFormElements(0, [self, navigation, forumScript](const QList<FormElementInfo> &elements) {
        if (!self || navigation != self->m_navigation || self->SendState != 1)
            return;
        const bool previewPage = forumScript && postform::publishButton(elements) >= 0;
        self->ui->Label1->setVisible(previewPage);
        self->ui->btnSend->setVisible(previewPage);
        Q_EMIT self->forumPageShown(previewPage);
    });
}

void TfrmPreview::SendPost()
{
    // The post goes out once: the state is set and the button disabled
    // before anything else, and every click after this one is ignored.
    if (SendState != 1 || m_outcome != Outcome::None)
        return;
    const QUrl script = postform::scriptAddress(m_forum);
    if (!pageaddress::isPage(QUrl(m_pageAddress), script))
        return;
    SendState = 2;
    m_outcome = Outcome::Sending;
    ui->btnSend->setEnabled(false);

    QPointer<TfrmPreview> self(this);
    m_browser->requestFormCount([self, script](int forms) {
        if (!self)
            return;
        if (forms <= 0) {
            self->sendFailed({});
            return;
        }
        self->m_browser->requestFormElements(0, [self, script](const QList<FormElementInfo> &elements) {
            if (!self)
                return;
            QString error;
            const int button = postform::publishButton(elements, &error);
            if (button < 0) {
                self->sendFailed(button == -2 ? error : QString());
                return;
            }
            const QList<FormStep> steps{FormStep::requirePage(script.toString(QUrl::FullyEncoded)),
                                        FormStep::click(button)};
            self->m_browser->runFormBatch(steps, [self](const FormBatchResult &result) {
                if (self && !result.ok)
                    self->sendFailed(result.failedStep > 0 ? result.error : QString());
            });
        });
    });
}

void TfrmPreview::sendFailed(const QString &error)
{
    // Nothing was sent: the send path is offered again.
    if (m_outcome != Outcome::Sending)
        return;
    SendState = 1;
    m_outcome = Outcome::None;
    ui->btnSend->setEnabled(true);
    if (!error.isEmpty())
        reportError(error);
    if (m_closeWanted)
        QDialog::reject();
}

void TfrmPreview::takeAnswer(const QString &address)
{
    // The first page after the click is the forum's answer; what comes
    // later is the user's own browsing.
    if (m_outcome != Outcome::Sending)
        return;
    const bool published = postform::confirmsPublishing(QUrl(address), m_forum);
    m_outcome = published ? Outcome::Published : Outcome::NotPublished;
    m_answerWait.stop();
    Q_EMIT publishAnswered(published);
    if (published) {
        if (m_closeWanted) {
            QDialog::reject();
            return;
        }
        TimerClose.start();
        return;
    }
    m_closeWanted = false;
    ui->Label1->hide();
    ui->btnSend->hide();
    showNote(kNotPublishedNote, true);
}

void TfrmPreview::reject()
{
    if (Sending() && !m_forumSilent) {
        m_closeWanted = true;
        showNote(kSendingNote, false);
        if (!m_answerWait.isActive())
            m_answerWait.start();
        return;
    }
    QDialog::reject();
}

void TfrmPreview::forumSilent()
{
    if (!Sending())
        return;
    m_forumSilent = true;
    showNote(kSilentNote, true);
}

void TfrmPreview::showNote(const QString &text, bool warning)
{
    // A post that may not have gone out stands out in dark red.
    ui->lblNote->setStyleSheet(warning ? QStringLiteral("color: #a00000;") : QString());
    ui->lblNote->setText(text);
    ui->lblNote->show();
}

void TfrmPreview::ButtonClick()
{
    reject();
}

void TfrmPreview::TimerCloseTimer()
{
    ButtonClick();
}
