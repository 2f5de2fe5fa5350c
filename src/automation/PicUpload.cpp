#include "automation/PicUpload.h"

#include "automation/PhotoPrep.h"
#include "automation/PictureSite.h"
#include "browser/WebPage.h"
#include "state/DModul.h"
#include "state/ErrorReport.h"
#include "state/PasswortWait.h"
#include "state/WorkFolder.h"
#include "ui_PicUpload.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

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
    ui->uploadLayout->insertWidget(0, m_browser->widget(), 1);
    connect(m_browser, &BrowserHost::DocumentComplete, this, &TfrmPicUpload::WebBrowserDocumentComplete);
    ui->preparedRow->hide();
    connect(ui->btnOriginal, &QPushButton::clicked, this, &TfrmPicUpload::useOriginal);
    m_browser->setFileChooser([this](QWidget *parent, bool multiple, const QStringList &types) {
        return chooseFiles(parent, multiple, types);
    });

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
    m_browser->setFileChooser({});
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
        // Runs only while the window lives.
        afterPasswortKnown(this, [this, address] { fillAddPicturePage(address); });
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
    // Runs only while the window lives.
    afterPasswortKnown(this, [this, address] { submitPicturePage(address); });
}

void TfrmPicUpload::submitPicturePage(const QString &address)
{
    QPointer<TfrmPicUpload> self(this);
    m_browser->requestFormCount([self, address](int forms) {
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
}

void TfrmPicUpload::done(int result)
{
    // A picture still being prepared is not needed any more.
    if (m_cancelPreparing)
        m_cancelPreparing->store(true);
    QDialog::done(result);
}

QString TfrmPicUpload::preparedLine() const
{
    return ui->preparedRow->isHidden() ? QString() : ui->lblPrepared->text();
}

void TfrmPicUpload::showPrepared(const QString &line, bool originalOffered)
{
    ui->lblPrepared->setText(line);
    ui->btnOriginal->setVisible(originalOffered);
    ui->preparedRow->setVisible(!line.isEmpty());
}

QStringList TfrmPicUpload::chooseFiles(QWidget *parent, bool multiple, const QStringList &acceptedMimeTypes)
{
    if (!m_originalRequested.isEmpty()) {
        const QString original = std::exchange(m_originalRequested, QString());
        showPrepared(QStringLiteral("Original verwendet: %1").arg(QFileInfo(original).fileName()), false);
        return {original};
    }
    return preparedFiles(TarnvikWebPage::chooseWithProgramChooser(parent, multiple, acceptedMimeTypes));
}

QStringList TfrmPicUpload::preparedFiles(const QStringList &chosen)
{
    if (chosen.isEmpty() || m_cancelPreparing)
        return {};
    const auto reportLater = [this](const QString &text) {
        // Not while the page waits for its files.
        QTimer::singleShot(0, this, [text] { reportError(text); });
    };
    if (!m_preparedFolder) {
        const QString work = DM ? DM->WorkPath() : workFolder(QCoreApplication::applicationDirPath());
        auto folder = std::make_unique<QTemporaryDir>(QDir(work).filePath(QStringLiteral("Bilder-XXXXXX")));
        if (work.isEmpty() || !folder->isValid()) {
            reportLater(QStringLiteral("Für das vorbereitete Bild gibt es keinen Arbeitsordner."));
            return {};
        }
        m_preparedFolder = std::move(folder);
    }

    // The engine waits for the answer of its file request, so the answer
    // comes from here; the work runs on a thread of its own while this
    // loop keeps the window answering. The page takes no input meanwhile.
    const auto results = std::make_shared<QList<photos::Prepared>>();
    const auto cancel = std::make_shared<std::atomic_bool>(false);
    const QString folder = m_preparedFolder->path();
    const std::unique_ptr<QThread> worker(QThread::create([results, cancel, chosen, folder] {
        // The limits are read here as well: the settings store is a file.
        const photos::Limits limits = photos::limitsFromSettings(*TDMEnvironment::openPlatformSettings());
        for (const QString &file : chosen) {
            *results << photos::prepare(file, limits, folder, cancel.get());
            if (!results->constLast().ok())
                break;
        }
    }));
    QEventLoop loop;
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    const QString lineBefore = preparedLine();
    const bool originalBefore = ui->btnOriginal->isVisibleTo(this);
    bool busyShown = false;
    QTimer moment;
    moment.setSingleShot(true);
    connect(&moment, &QTimer::timeout, this, [this, &busyShown] {
        showPrepared(QStringLiteral("Bild wird vorbereitet …"), false);
        QApplication::setOverrideCursor(Qt::BusyCursor);
        busyShown = true;
    });
    m_cancelPreparing = cancel;
    m_browser->widget()->setEnabled(false);
    moment.start(300);
    worker->start();
    loop.exec();
    worker->wait();
    moment.stop();
    if (busyShown)
        QApplication::restoreOverrideCursor();
    m_browser->widget()->setEnabled(true);
    m_cancelPreparing.reset();
    if (cancel->load())
        return {};

    QStringList files;
    for (const photos::Prepared &result : std::as_const(*results)) {
        if (!result.ok()) {
            showPrepared(lineBefore, originalBefore);
            reportLater(result.error);
            return {};
        }
        files << result.path;
    }
    const photos::Prepared &first = results->constFirst();
    if (!m_copy.isEmpty() && !files.contains(m_copy))
        QFile::remove(m_copy);
    m_original = QFileInfo(chosen.constFirst()).absoluteFilePath();
    m_copy = first.unchanged ? QString() : first.path;
    showPrepared(photos::summaryLine(first), !first.unchanged);
    return files;
}

void TfrmPicUpload::useOriginal()
{
    if (m_original.isEmpty())
        return;
    // The request does not outlive the moment: the page asks for files
    // right after the field's activation, or not at all.
    m_originalRequested = m_original;
    QTimer::singleShot(3000, this, [this] { m_originalRequested.clear(); });
    QPointer<TfrmPicUpload> self(this);
    m_browser->activateFileField([self](bool activated) {
        if (self && !activated)
            self->m_originalRequested.clear();
    });
}
