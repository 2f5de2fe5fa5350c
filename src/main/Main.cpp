#include "main/Main.h"

#include "archive/ArchiveFeature.h"
#include "browser/BrowserHost.h"
#include "browser/LinkRoute.h"
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
#include "watch/WatchUi.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlatformSurfaceEvent>
#include <QPointer>
#include <QTimer>

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
    setUpCommands();

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
    // Forum pages that a page of any window wants in a new window come here.
    tarnvik::setForumPageOpener([this](const QUrl &url) { m_browser->Navigate(url.toString()); });

    addHistoryActions();

    // Key preview: the window sees each key before the focused control,
    // the browser included.
    qApp->installEventFilter(this);
}

TfrmMain::~TfrmMain()
{
    tarnvik::setForumPageOpener({});
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

void TfrmMain::setUpCommands()
{
    // The forum sections with a key of their own, in the order the start
    // tries them.
    m_sections = {{ui->actHandwerkzeug, Forums::HandTools, icoHammer},
                  {ui->actAllgemeinHolz, Forums::Machines, icoPowertool}};
    for (const Section &section : std::as_const(m_sections)) {
        section.action->setIcon(TarnvikIcons::icon(section.icon));
        connect(section.action, &QAction::triggered, this, [this, forum = section.forum] { openSection(forum); });
    }
    // The toolbar's other commands.
    const struct {
        QAction *action;
        TarnvikIcon icon;
        void (TfrmMain::*run)();
    } commands[] = {
        {ui->actAnswerThread, icoAnswer, &TfrmMain::actAnswerThreadExecute},
        {ui->actNewThread, icoNewThread, &TfrmMain::actNewThreadExecute},
        {ui->actExportWord, icoWord, &TfrmMain::actExportWordExecute},
        {ui->actSettings, icoSettings, &TfrmMain::actSettingsExecute},
        {ui->actInfo, icoInfo, &TfrmMain::actInfoExecute},
        {ui->actEnde, icoDoor, &TfrmMain::actEndeExecute},
    };
    for (const auto &command : commands) {
        command.action->setIcon(TarnvikIcons::icon(command.icon));
        connect(command.action, &QAction::triggered, this, command.run);
    }

    for (QAction *action : ui->ToolBar1->actions())
        sizeToolButton(action);
}

// The button's accessible name follows its action's caption.
void TfrmMain::sizeToolButton(QAction *action)
{
    QWidget *button = ui->ToolBar1->widgetForAction(action);
    if (button && !action->isSeparator()) {
        button->setMinimumSize(100, 44);
        button->setAccessibleName(action->text());
        connect(action, &QAction::changed, button, [button, action] { button->setAccessibleName(action->text()); });
    }
}

void TfrmMain::addFeatureAction(QAction *action)
{
    const QList<QAction *> actions = ui->ToolBar1->actions();
    QAction *before = nullptr;
    for (qsizetype i = actions.indexOf(ui->actExportWord) + 1; i > 0 && i < actions.size() && !before; ++i) {
        if (actions.at(i)->isSeparator())
            before = actions.at(i);
    }
    ui->ToolBar1->insertAction(before, action);
    sizeToolButton(action);
}

void TfrmMain::attachArchive(tarnvik::archive::ArchiveFeature *archive)
{
    addFeatureAction(archive->action());
    connect(this, &TfrmMain::pageProcessed, archive, [archive](const QString &address) {
        if (DM && DM->NumberAfterHash() && DM->ThreadNumber() > 0)
            archive->keepShownThread(address);
    });
}

void TfrmMain::attachWatch(tarnvik::watch::WatchUi *watch)
{
    addFeatureAction(watch->watchAction());
    addFeatureAction(watch->newsAction());
    connect(this, &TfrmMain::pageProcessed, watch, &tarnvik::watch::WatchUi::pageShown);
}

void TfrmMain::addHistoryActions()
{
    // Alt+Left and Alt+Right (and the keyboard's own keys) go back and
    // forward, as in a desktop browser; the page leaves these keys to the
    // window. The mouse's side buttons the view handles itself.
    const auto add = [this](const QString &caption, QKeySequence::StandardKey keys, void (BrowserHost::*go)()) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QStringLiteral("act") + caption);
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, m_browser, go);
        addAction(action);
    };
    add(QStringLiteral("Zurück"), QKeySequence::Back, &BrowserHost::goBack);
    add(QStringLiteral("Vorwärts"), QKeySequence::Forward, &BrowserHost::goForward);
}

void TfrmMain::OpenForumPage(QString address)
{
    QString page = ui->EPage->text();
    address = tarnvik::sectionPageAddress(address, page);
    if (page != ui->EPage->text())
        ui->EPage->setText(page);
    m_browser->Navigate(address);
}

void TfrmMain::openSection(ForumKind forum)
{
    // Another section than the one shown starts at its first page.
    if (DM && DM->Forum() != forum)
        ui->EPage->setText(QStringLiteral("1"));
    OpenForumPage(tarnvik::forumSectionAddress(forum));
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
    // The stored section opens; a section without a key of its own (the
    // market, a page outside the forum) leaves the browser empty.
    for (const Section &section : std::as_const(m_sections)) {
        if (DM->Forum() == section.forum)
            openSection(section.forum);
    }
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
