#include "main/Main.h"

#include "archive/ArchiveFeature.h"
#include "browser/BrowserHost.h"
#include "browser/WebEngineHost.h"
#include "editor/Edit.h"
#include "export/ThreadExport.h"
#include "export/WordConnection.h"
#include "main/Dialogs.h"
#include "main/PageProcessing.h"
#include "periphery/Info.h"
#include "state/DModul.h"
#include "state/Endpoints.h"
#include "state/Icons.h"
#include "state/Settings.h"
#include "ui_Main.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlatformSurfaceEvent>
#include <QPointer>
#include <QTimer>
#include <QWebEngineView>
#include <QToolButton>

namespace {
// Marks the Ctrl+M events the window posts itself, so they are never taken
// for typed keys.
constexpr quint32 kInjectedMarker = 0x544e564bu;
} // namespace

TfrmMain::TfrmMain(BrowserFactory makeBrowser, QWidget *parent)
    : QMainWindow(parent), ui(new Ui::TfrmMain)
{
    ui->setupUi(this);
    resize(801, 533);

    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(13);
    titleFont.setBold(true);
    ui->lblTitle->setFont(titleFont);

    ui->udPage->setRange(1, 500);
    ui->udPage->setPosition(1);
    ui->udPage->setBuddy(ui->EPage);
    applyIcons();

    for (QAction *action : ui->ToolBar1->actions())
        sizeToolButton(action);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setMinimumWidth(200);
    m_statusLabel->setTextFormat(Qt::PlainText);
    ui->StatusBar->addWidget(m_statusLabel, 1);
    ui->StatusBar->setSizeGripEnabled(true);

    m_browser = makeBrowser ? makeBrowser(ui->browserArea) : tarnvik::makeBrowser(ui->browserArea);
    m_browser->setParent(this);
    m_browser->widget()->setAccessibleName(QStringLiteral("Forum"));
    ui->browserLayout->addWidget(m_browser->widget());
    connect(m_browser, &BrowserHost::DocumentComplete, this, &TfrmMain::WebBrowserDocumentComplete);

    connect(ui->actHandwerkzeug, &QAction::triggered, this, &TfrmMain::actHandwerkzeugExecute);
    connect(ui->actAllgemeinHolz, &QAction::triggered, this, &TfrmMain::actAllgemeinHolzExecute);
    connect(ui->actAnswerThread, &QAction::triggered, this, &TfrmMain::actAnswerThreadExecute);
    connect(ui->actNewThread, &QAction::triggered, this, &TfrmMain::actNewThreadExecute);
    connect(ui->actExportWord, &QAction::triggered, this, &TfrmMain::actExportWordExecute);
    connect(ui->actSettings, &QAction::triggered, this, &TfrmMain::actSettingsExecute);
    connect(ui->actInfo, &QAction::triggered, this, &TfrmMain::actInfoExecute);
    connect(ui->actEnde, &QAction::triggered, this, &TfrmMain::actEndeExecute);
    addHistoryActions();

    // Key preview: the window sees each key before the focused control,
    // the browser included.
    qApp->installEventFilter(this);
}

TfrmMain::~TfrmMain()
{
    qApp->removeEventFilter(this);
    delete ui;
}

QString TfrmMain::titleCaption() const
{
    return ui->lblTitle->text();
}

QString TfrmMain::statusText() const
{
    return m_statusLabel->text();
}

void TfrmMain::setTitleCaption(const QString &caption)
{
    ui->lblTitle->setText(caption);
    ui->lblTitle->setToolTip(caption);
}

void TfrmMain::applyIcons()
{
    ui->actHandwerkzeug->setIcon(TarnvikIcons::icon(icoHammer));
    ui->actAllgemeinHolz->setIcon(TarnvikIcons::icon(icoPowertool));
    ui->actAnswerThread->setIcon(TarnvikIcons::icon(icoAnswer));
    ui->actNewThread->setIcon(TarnvikIcons::icon(icoNewThread));
    ui->actExportWord->setIcon(TarnvikIcons::icon(icoWord));
    ui->actSettings->setIcon(TarnvikIcons::icon(icoSettings));
    ui->actInfo->setIcon(TarnvikIcons::icon(icoInfo));
    ui->actEnde->setIcon(TarnvikIcons::icon(icoDoor));
}

void TfrmMain::sizeToolButton(QAction *action)
{
    QWidget *button = ui->ToolBar1->widgetForAction(action);
    if (button && !action->isSeparator()) {
        button->setMinimumSize(100, 44);
        button->setAccessibleName(action->text());
    }
}

void TfrmMain::attachArchive(tarnvik::archive::ArchiveFeature *archive)
{
    const QList<QAction *> actions = ui->ToolBar1->actions();
    ui->ToolBar1->insertAction(actions.value(actions.indexOf(ui->actExportWord) + 1), archive->action());
    sizeToolButton(archive->action());
    connect(this, &TfrmMain::pageProcessed, archive, [archive](const QString &address) {
        if (DM && DM->NumberAfterHash() && DM->ThreadNumber() > 0)
            archive->keepShownThread(address);
    });
}

void TfrmMain::addHistoryActions()
{
    // Alt+Left and Alt+Right (and the keyboard's own keys) go back and
    // forward, as in a desktop browser; the page leaves these keys to the
    // window. The mouse's side buttons the view handles itself.
    auto *host = qobject_cast<WebEngineHost *>(m_browser);
    QWebEngineView *view = host ? host->view() : nullptr;
    const auto add = [this](const QString &caption, QKeySequence::StandardKey keys, auto go) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QStringLiteral("act") + caption);
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, go);
        addAction(action);
    };
    add(QStringLiteral("Zurück"), QKeySequence::Back, [view] {
        if (view)
            view->back();
    });
    add(QStringLiteral("Vorwärts"), QKeySequence::Forward, [view] {
        if (view)
            view->forward();
    });
}

void TfrmMain::OpenForumPage(QString address)
{
    QString page = ui->EPage->text();
    address = tarnvik::sectionPageAddress(address, page);
    if (page != ui->EPage->text())
        ui->EPage->setText(page);
    m_browser->Navigate(address);
}

void TfrmMain::actHandwerkzeugExecute()
{
    if (DM && DM->Forum() != Forums::HandTools)
        ui->EPage->setText(QStringLiteral("1"));
    OpenForumPage(tarnvik::forumSectionAddress(Forums::HandTools));
}

void TfrmMain::actAllgemeinHolzExecute()
{
    if (DM && DM->Forum() != Forums::Machines)
        ui->EPage->setText(QStringLiteral("1"));
    OpenForumPage(tarnvik::forumSectionAddress(Forums::Machines));
}

void TfrmMain::actAnswerThreadExecute()
{
    OpenEditor(this, false);
}

void TfrmMain::actNewThreadExecute()
{
    OpenEditor(this, true);
}

void TfrmMain::actExportWordExecute()
{
    // One export at a time: the page processing may enable the action again
    // while one runs.
    if (m_export || !DM)
        return;
    tarnvik::ThreadExport::Setup setup;
    setup.pageTitle = titleCaption();
    setup.wholeThread = DM->NumberAfterHash();
    setup.pageAddress = QUrl(DM->CurrentUrl());
    setup.documentFolder = DM->DokuPath();
    setup.picturesFolder = DM->PicturesPath();
    setup.workFolder = DM->WorkPath();
    m_export = new tarnvik::ThreadExport(this, m_browser, setup);
    connect(m_export, &tarnvik::ThreadExport::statusMessage, m_statusLabel, &QLabel::setText);
    connect(m_export, &tarnvik::ThreadExport::finished, m_export, &QObject::deleteLater);
    m_export->start();
}

void TfrmMain::actSettingsExecute()
{
    if (m_inSettings)
        return;
    m_inSettings = true;
    OpenSettingsDialog(this);
    m_inSettings = false;
}

void TfrmMain::actInfoExecute()
{
    OpenInfoDialog(this);
}

void TfrmMain::actEndeExecute()
{
    close();
}

void TfrmMain::FormShow()
{
    CreateWordConnections();
    if (!DM)
        return;
    if (DM->Forum() == Forums::HandTools)
        actHandwerkzeugExecute();
    if (DM->Forum() == Forums::Machines)
        actAllgemeinHolzExecute();
}

void TfrmMain::FormActivate()
{
    // The dialog opens again on every activation while no name is set, but
    // never a second one over the first.
    if (DM && DM->Name().isEmpty())
        actSettingsExecute();
}

void TfrmMain::WebBrowserDocumentComplete(const QString &address)
{
    const quint64 generation = ++m_pageGeneration;
    m_statusLabel->setText(address);
    if (!DM)
        return;
    DM->ClassifyUrl(address);
    setTitleCaption(m_browser->DocumentTitle());

    const tarnvik::PageActions actions =
        tarnvik::pageActionsFor(DM->Forum(), DM->ThreadNumber(), DM->NumberAfterHash());
    ui->actNewThread->setEnabled(actions.newThread);
    ui->actAnswerThread->setEnabled(actions.answer);
    if (DM->Forum() == Forums::None) {
        ui->actExportWord->setEnabled(false);
        Q_EMIT pageProcessed(address);
        return;
    }
    if (!actions.wholeThread) {
        ui->actExportWord->setEnabled(actions.exportWord);
        DM->PageTitle = titleCaption();
        Q_EMIT pageProcessed(address);
        return;
    }

    // A whole thread: its title stands in the page text. The export waits
    // for it, since it starts from the title strip.
    ui->actExportWord->setEnabled(false);
    ++m_pendingTitleScans;
    QPointer<TfrmMain> self(this);
    m_browser->requestBodyOuterHtml([self, generation, address](const QString &body) {
        if (!self)
            return;
        --self->m_pendingTitleScans;
        if (generation != self->m_pageGeneration)
            return;
        if (const std::optional<QString> title = tarnvik::threadTitleFromBody(body))
            self->setTitleCaption(*title);
        self->ui->actExportWord->setEnabled(true);
        if (DM)
            DM->PageTitle = self->titleCaption();
        Q_EMIT self->pageProcessed(address);
    }, tarnvik::threadTitleMarker());
}

bool TfrmMain::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (!m_shown) {
            m_shown = true;
            FormShow();
        }
        break;
    case QEvent::PlatformSurface:
        // The engine's view makes Qt re-create the native window once after
        // the first showing, and the new one comes up in its normal size: a
        // window that was maximised then is maximised again.
        if (static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType()
                == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed
            && isVisible() && isMaximized()) {
            m_remaximize.setRemainingTime(3000);
        }
        break;
    case QEvent::WindowStateChange: {
        const bool result = QMainWindow::event(event);
        if (!m_remaximize.hasExpired() && !isMaximized() && !isMinimized()) {
            m_remaximize = QDeadlineTimer();
            QTimer::singleShot(0, this, [this] { setWindowState(windowState() | Qt::WindowMaximized); });
        }
        return result;
    }
    case QEvent::WindowActivate: {
        const bool result = QMainWindow::event(event);
        // Let the activation finish before a modal dialog takes over.
        QMetaObject::invokeMethod(this, &TfrmMain::FormActivate, Qt::QueuedConnection);
        return result;
    }
    default:
        break;
    }
    return QMainWindow::event(event);
}

void TfrmMain::injectControlM(QObject *receiver)
{
    const auto make = [](QEvent::Type type) {
        return new QKeyEvent(type, Qt::Key_M, Qt::ControlModifier, 0, 0x4d, kInjectedMarker, QString(QChar(13)));
    };
    QCoreApplication::postEvent(receiver, make(QEvent::KeyPress));
    QCoreApplication::postEvent(receiver, make(QEvent::KeyRelease));
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto *key = static_cast<QKeyEvent *>(event);
        auto *widget = static_cast<QWidget *>(watched);
        const bool real = key->nativeModifiers() != kInjectedMarker;
        // Each typed Enter gets one Ctrl+M after it; the Enter itself goes on
        // unchanged. A key event travels up the parents of its receiver, so
        // only the first receiver counts.
        if (real && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && widget->window() == this && widget == QApplication::focusWidget()) {
            injectControlM(widget);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
