#include "archive/ArchiveFeature.h"

#include "archive/Archive.h"
#include "archive/ArchiveHooks.h"
#include "archive/ArchiveWindow.h"
#include "browser/BrowserHost.h"

#include <QAction>
#include <QIcon>
#include <QMessageBox>
#include <QWidget>

namespace tarnvik::archive {

namespace {

// A message that does not hold up the windows behind it.
void inform(QWidget *parent, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Tarnvik"), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

ArchiveFeature::ArchiveFeature(QWidget *window, BrowserHost *browser, const Setup &setup)
    : m_parent(window), m_browser(browser), m_picturesFolder(setup.picturesFolder),
      m_archive(std::make_unique<Archive>(Archive::Options{setup.databasePath, setup.viewFolder, setup.keepRead, 0}))
{
    m_action = new QAction(QIcon(QStringLiteral(":/archive/Archiv.svg")), QStringLiteral("Archiv [F9]"), this);
    m_action->setObjectName(QStringLiteral("actArchiv"));
    m_action->setToolTip(QStringLiteral("Archiv durchsuchen"));
    m_action->setShortcut(Qt::Key_F9);
    connect(m_action, &QAction::triggered, this, &ArchiveFeature::showWindow);
    if (browser)
        connect(browser, &BrowserHost::NavigateComplete2, this, [this] { ++m_navigations; });

    connect(m_archive.get(), &Archive::notice, this, [this](const QString &text) { inform(m_parent, text); });
    connect(m_archive.get(), &Archive::viewReady, this, [this](const QString &address) {
        if (!m_browser)
            return;
        m_browser->Navigate(address);
        if (m_window)
            m_window->hide();
        if (m_parent)
            m_parent->activateWindow();
    });
    connect(m_archive.get(), &Archive::viewFailed, this, [this](const QString &text) {
        inform(m_window ? m_window.data() : m_parent.data(), text);
    });
    setExportReceiver([this](const QUrl &page, const QStringList &lines, const QList<LocalPicture> &pictures) {
        m_archive->keepExport(page, lines, pictures);
    });
}

ArchiveFeature::~ArchiveFeature()
{
    setExportReceiver({});
    // The window searches through the archive, which goes with this object.
    delete m_window.data();
}

void ArchiveFeature::showWindow()
{
    if (!m_window) {
        m_window = new TfrmArchiv(m_archive.get(), m_parent);
        connect(m_window, &TfrmArchiv::openRequested, this, &ArchiveFeature::open);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void ArchiveFeature::keepShownThread(const QString &address)
{
    if (!m_browser || !m_archive->keepsRead() || !m_archive->writing())
        return;
    const quint64 shown = m_navigations;
    QPointer<ArchiveFeature> self(this);
    m_browser->requestBodyOuterHtml([self, shown, address](const QString &body) {
        // Another page may have come in meanwhile; its text is not this thread's.
        if (self && self->m_navigations == shown)
            self->m_archive->keepShownPage(address, body);
    });
}

void ArchiveFeature::open(qint64 thread, qint64 message)
{
    const QString pictures = m_picturesFolder ? m_picturesFolder() : QString();
    m_archive->openThread(thread, message, m_window ? m_window->result() : SearchResult(), pictures);
}

} // namespace tarnvik::archive
