#include "archive/Archive.h"

#include "archive/ArchiveHooks.h"
#include "archive/ArchiveView.h"
#include "state/FileAccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QSqlQuery>
#include <QThread>

namespace tarnvik::archive {

namespace {

// SQLite's result codes that mean the file cannot be written any more.
bool lastingFailure(int code)
{
    constexpr int kReadOnly = 8, kIoError = 10, kCorrupt = 11, kFull = 13, kCantOpen = 14, kNotADatabase = 26;
    return code == kReadOnly || code == kIoError || code == kCorrupt || code == kFull || code == kCantOpen
           || code == kNotADatabase;
}

constexpr int kKeepAttempts = 3;
constexpr int kViewsKept = 10;

QString viewPrefix()
{
    return QStringLiteral("Archiv-%1-").arg(QCoreApplication::applicationPid());
}

// Removes this process's offline views but the newest `keep`.
void removeOldViews(const QString &folder, int keep)
{
    QDir dir(folder);
    const QStringList views =
        dir.entryList({viewPrefix() + QStringLiteral("*.html")}, QDir::Files, QDir::Time);
    for (qsizetype i = keep; i < views.size(); ++i)
        dir.remove(views.at(i));
}

ExportReceiver &exportReceiver()
{
    static ExportReceiver receiver;
    return receiver;
}

} // namespace

// A thread with a database connection of its own; work is posted to it and
// runs there in order.
class StoreThread
{
public:
    explicit StoreThread(const QString &name)
    {
        m_thread.setObjectName(name);
        m_context.moveToThread(&m_thread);
        m_thread.start();
    }
    ~StoreThread()
    {
        post([this] {
            store.reset();
            db.reset();
            QThread::currentThread()->quit();
        });
        m_thread.wait();
    }
    void post(std::function<void()> work) { QMetaObject::invokeMethod(&m_context, std::move(work), Qt::QueuedConnection); }

    // Used on the thread only.
    std::unique_ptr<Database> db;
    std::unique_ptr<ArchiveStore> store;

private:
    QThread m_thread;
    QObject m_context;
};

Archive::Archive(const Options &options, QObject *parent)
    : QObject(parent), m_options(options), m_writer(std::make_unique<StoreThread>(QStringLiteral("Archiv schreiben"))),
      m_reader(std::make_unique<StoreThread>(QStringLiteral("Archiv lesen")))
{
    // The writer opens (and, when damaged, replaces) the file and brings its
    // tables up to date before the reader opens it.
    m_writer->post([this, writer = m_writer.get(), reader = m_reader.get(), options] {
        auto db = std::make_unique<Database>();
        QString message;
        QString error;
        bool ok = db->open(options.path, &message);
        if (ok && !db->migrate(ArchiveStore::schema(), &error))
            ok = false;
        if (ok && options.maxGrowthPages > 0) {
            QSqlQuery pages(db->connection());
            if (pages.exec(QStringLiteral("PRAGMA page_count")) && pages.next())
                QSqlQuery(db->connection())
                    .exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages.value(0).toInt() + options.maxGrowthPages));
        }
        if (ok) {
            writer->db = std::move(db);
            writer->store = std::make_unique<ArchiveStore>(*writer->db);
        } else {
            m_stopped.storeRelaxed(true);
        }
        QMetaObject::invokeMethod(
            this,
            [this, ok, message, error] {
                if (!message.isEmpty())
                    say(ok ? Replaced : Off, ok ? message : message + QStringLiteral(" Tarnvik arbeitet ohne Archiv weiter."));
                else if (!ok)
                    say(Off, QStringLiteral("Das Archiv kann nicht geöffnet werden: %1. Tarnvik arbeitet ohne Archiv weiter.")
                            .arg(error));
            },
            Qt::QueuedConnection);
        reader->post([reader, path = options.path] {
            auto readerDb = std::make_unique<Database>();
            if (readerDb->open(path) && readerDb->schemaVersion(ArchiveStore::schema().name) > 0) {
                reader->db = std::move(readerDb);
                reader->store = std::make_unique<ArchiveStore>(*reader->db);
            }
        });
    });
}

Archive::~Archive()
{
    m_writer.reset();
    m_reader->post([folder = m_options.viewFolder] { removeOldViews(folder, 0); });
    m_reader.reset();
}

void Archive::say(Notice kind, const QString &text)
{
    if (m_said & kind)
        return;
    m_said |= kind;
    Q_EMIT notice(text);
}

void Archive::keepShownPage(const QString &address, const QString &body)
{
    if (m_options.keepRead)
        keep([address, body] { return readThreadPage(address, body); });
}

void Archive::keepExport(const QUrl &page, const QStringList &lines, const QList<LocalPicture> &pictures)
{
    keep([page, lines, pictures] { return readExportedThread(page, lines, pictures); });
}

void Archive::keep(std::function<std::optional<ArchivedThread>()> read)
{
    if (m_stopped.loadRelaxed())
        return;
    ++m_pending;
    m_writer->post([this, writer = m_writer.get(), read = std::move(read)] {
        std::optional<ArchivedThread> thread;
        KeepResult result;
        if (writer->store && !m_stopped.loadRelaxed())
            thread = read();
        if (thread) {
            // Another program instance may hold the file a while.
            for (int attempt = 0; attempt < kKeepAttempts; ++attempt) {
                result = writer->store->keep(*thread);
                if (result.ok || !Database::isBusy(result.code))
                    break;
            }
            if (!result.ok && lastingFailure(result.code))
                m_stopped.storeRelaxed(true);
        }
        QMetaObject::invokeMethod(
            this, [this, number = thread ? thread->number : 0, read = thread.has_value(), result] {
                --m_pending;
                if (read && result.ok)
                    Q_EMIT kept(number, result.added, result.changed);
                else if (read && lastingFailure(result.code))
                    say(Off, QStringLiteral("Das Archiv kann nicht mehr schreiben (%1). Tarnvik arbeitet ohne Archiv weiter.")
                            .arg(result.error));
                else if (read)
                    qWarning("Archiv: Thread %d nicht gespeichert: %s", number, qPrintable(result.error));
                if (m_pending == 0)
                    Q_EMIT writesDone();
            },
            Qt::QueuedConnection);
    });
}

quint64 Archive::search(const SearchRequest &request)
{
    const quint64 serial = m_latestSearch.loadRelaxed() + 1;
    m_latestSearch.storeRelaxed(serial);
    m_reader->post([this, reader = m_reader.get(), request, serial] {
        // A newer search is queued behind this one: it answers instead.
        if (m_latestSearch.loadRelaxed() != serial)
            return;
        SearchResult result;
        if (reader->store)
            result = reader->store->search(request);
        else
            result.error = QStringLiteral("Das Archiv ist nicht verfügbar.");
        QMetaObject::invokeMethod(
            this,
            [this, serial, result] {
                if (serial == m_latestSearch.loadRelaxed())
                    Q_EMIT found(serial, result);
            },
            Qt::QueuedConnection);
    });
    return serial;
}

void Archive::openThread(qint64 thread, qint64 message, const SearchResult &found, const QString &picturesFolder)
{
    const QString file = m_options.viewFolder + viewPrefix() + QString::number(++m_views) + QStringLiteral(".html");
    const ViewOptions view{found.terms, found.insideWords, picturesFolder};
    m_reader->post([this, reader = m_reader.get(), thread, message, view, file, folder = m_options.viewFolder] {
        QString error;
        QString address;
        const std::optional<StoredThread> stored = reader->store ? reader->store->thread(thread) : std::nullopt;
        if (!stored) {
            error = QStringLiteral("Dieser Thread ist nicht im Archiv.");
        } else if (!QDir::isAbsolutePath(folder)) {
            error = QStringLiteral("Es gibt keinen Ordner für die Archivansicht.");
        } else if (QDir().mkpath(folder) && files::writeAtomically(file, offlineViewHtml(*stored, view).toUtf8(), error)) {
            QUrl url = QUrl::fromLocalFile(file);
            url.setFragment(messageAnchor(message));
            address = url.toString(QUrl::FullyEncoded);
            removeOldViews(folder, kViewsKept);
        } else if (error.isEmpty()) {
            error = QStringLiteral("Der Ordner „%1“ kann nicht angelegt werden.").arg(QDir::toNativeSeparators(folder));
        }
        QMetaObject::invokeMethod(
            this,
            [this, address, error] {
                if (address.isEmpty())
                    Q_EMIT viewFailed(error);
                else
                    Q_EMIT viewReady(address);
            },
            Qt::QueuedConnection);
    });
}

bool keepReadSetting(QSettings &settings)
{
    const QString value = settings.value(QStringLiteral("Archiv/Gelesene")).toString().trimmed().toLower();
    static const QStringList no{QStringLiteral("false"), QStringLiteral("0"), QStringLiteral("nein"),
                                QStringLiteral("no"), QStringLiteral("aus"), QStringLiteral("off")};
    return !no.contains(value);
}

void setExportReceiver(ExportReceiver receiver)
{
    exportReceiver() = std::move(receiver);
}

void keepExported(const QUrl &page, const QStringList &lines, const QList<LocalPicture> &pictures)
{
    if (exportReceiver())
        exportReceiver()(page, lines, pictures);
}

} // namespace tarnvik::archive
