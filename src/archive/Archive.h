#pragma once

#include "archive/ArchiveStore.h"

#include <QAtomicInteger>
#include <QObject>

#include <memory>

class QSettings;

namespace tarnvik::archive {

class StoreThread;

// The archive as the program uses it: threads are kept by a writer thread
// and searched (and their offline view written) by a reader thread, each
// with its own connection to the database, so the user-interface thread
// never waits for the disk. Answers come back as signals on the thread that
// made the archive.
//
// When the database cannot be opened, or writing fails for good (a full
// disk, a read-only folder, damage), the program goes on without archiving;
// `notice` says so, once.
class Archive : public QObject
{
    Q_OBJECT
public:
    struct Options {
        QString path;           // the database file
        QString viewFolder;     // where offline views are written
        bool keepRead = true;   // keep threads that were only read
        int maxGrowthPages = 0; // > 0: the file may grow by this many pages only, as on a nearly full disk
    };

    explicit Archive(const Options &options, QObject *parent = nullptr);
    // Finishes what is queued, then closes the database.
    ~Archive() override;

    bool keepsRead() const { return m_options.keepRead; }
    // Whether threads are still being kept.
    bool writing() const { return !m_stopped.loadRelaxed(); }
    int pendingWrites() const { return m_pending; }

    // A whole-thread page shown in the browser, as its body markup.
    void keepShownPage(const QString &address, const QString &body);
    // A thread the export saved, with its pictures' local copies.
    void keepExport(const QUrl &page, const QStringList &lines, const QList<LocalPicture> &pictures);

    // Starts a search; `found` answers with the same serial. An answer to an
    // older search that is overtaken by a newer one is left out.
    quint64 search(const SearchRequest &request);
    // Writes the offline view of a thread, with `found`'s terms marked, and
    // answers with `viewReady` (the page's address, scrolled to `message`).
    void openThread(qint64 thread, qint64 message, const SearchResult &found, const QString &picturesFolder);

Q_SIGNALS:
    void notice(const QString &text);
    void kept(qint32 threadNumber, int added, int changed);
    void writesDone();
    void found(quint64 serial, const tarnvik::archive::SearchResult &result);
    void viewReady(const QString &address);
    void viewFailed(const QString &text);

private:
    // What `notice` has said: each only once.
    enum Notice : quint8 { Replaced = 1, Off = 2 };
    void keep(std::function<std::optional<ArchivedThread>()> read);
    void say(Notice kind, const QString &text);

    Options m_options;
    std::unique_ptr<StoreThread> m_writer;
    std::unique_ptr<StoreThread> m_reader;
    QAtomicInteger<bool> m_stopped{false};
    QAtomicInteger<quint64> m_latestSearch{0};
    int m_pending = 0;
    quint8 m_said = 0;
    quint64 m_views = 0;
};

// The setting "[Archiv] Gelesene" from the program's settings: whether
// threads that were only read are kept. Anything but a clear no is yes.
bool keepReadSetting(QSettings &settings);

} // namespace tarnvik::archive
