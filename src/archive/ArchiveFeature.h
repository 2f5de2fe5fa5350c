#pragma once

#include "archive/ArchiveWindow.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class BrowserHost;
class QAction;
class QWidget;

namespace tarnvik::archive {

class Archive;

// The archive's place in the program: the action "Archiv [F9]", the window,
// the offline view in the main browser, the export handing its threads
// over, and the one message when the archive cannot work.
class ArchiveFeature : public QObject
{
    Q_OBJECT
public:
    struct Setup {
        QString databasePath;
        QString viewFolder;                    // where offline views are written
        bool keepRead = true;                  // "[Archiv] Gelesene"
        std::function<QString()> picturesFolder; // the export's pictures folder
    };

    // `window` owns the message boxes and the archive window; `browser`
    // shows the pages that are kept and the offline views.
    ArchiveFeature(QWidget *window, BrowserHost *browser, const Setup &setup);
    ~ArchiveFeature() override;

    QAction *action() const { return m_action; }
    Archive *archive() const { return m_archive.get(); }
    // The window, once it has been opened.
    TfrmArchiv *archiveWindow() const { return m_window; }

    void showWindow();
    // The browser shows the whole thread at `address`: its text goes into
    // the archive unless another page replaces it first.
    void keepShownThread(const QString &address);

private:
    void open(qint64 thread, qint64 message);

    QPointer<QWidget> m_parent;
    QPointer<BrowserHost> m_browser;
    std::function<QString()> m_picturesFolder;
    std::unique_ptr<Archive> m_archive;
    QAction *m_action = nullptr;
    QPointer<TfrmArchiv> m_window;
    quint64 m_navigations = 0;
};

} // namespace tarnvik::archive
