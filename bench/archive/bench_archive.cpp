// Prints what the archive costs on 200,000 messages in 20,000 threads,
// seeded by this program: the search time per query (median and 95th
// percentile over one- and two-word queries, prefixes and German spellings
// included), the program's search against the same full-text query run raw
// on the same database, keeping a 1000-message thread (and the longest the
// user-interface thread went without its timer meanwhile), and the size of
// the database against the text it holds.
#include "BenchUtil.h"
#include "archive/Archive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <random>

using namespace tarnvik::archive;

namespace {

constexpr int kThreads = 20000;
constexpr int kMessagesPerThread = 10;

const QStringList kWords{
    QStringLiteral("Hobel"), QStringLiteral("Hobelbank"), QStringLiteral("Hobeleisen"), QStringLiteral("Schränke"),
    QStringLiteral("Schrank"), QStringLiteral("Eiche"), QStringLiteral("Buche"), QStringLiteral("Kiefer"),
    QStringLiteral("Leim"), QStringLiteral("Weißleim"), QStringLiteral("Säge"), QStringLiteral("Sägeblatt"),
    QStringLiteral("Japansäge"), QStringLiteral("Zinken"), QStringLiteral("Schwalbenschwanz"), QStringLiteral("Oberfräse"),
    QStringLiteral("Stemmeisen"), QStringLiteral("Wasserstein"), QStringLiteral("schärfen"), QStringLiteral("Grüße"),
    QStringLiteral("Straße"), QStringLiteral("Öl"), QStringLiteral("Lack"), QStringLiteral("Beize"), QStringLiteral("Brett"),
    QStringLiteral("Leimholzplatte"), QStringLiteral("Tischkreissäge"), QStringLiteral("Spaltkeil"), QStringLiteral("Dübel"),
    QStringLiteral("Schraube"), QStringLiteral("Werkstatt"), QStringLiteral("Maserung"), QStringLiteral("Furnier"),
    QStringLiteral("Drechselbank"), QStringLiteral("Schleifpapier"), QStringLiteral("Körnung"), QStringLiteral("Winkel"),
    QStringLiteral("Fase"), QStringLiteral("Rauhbank"), QStringLiteral("Zinkenfräsvorrichtung")};
const QStringList kFiller{
    QStringLiteral("und"), QStringLiteral("mit"), QStringLiteral("der"), QStringLiteral("die"), QStringLiteral("das"),
    QStringLiteral("ich"), QStringLiteral("habe"), QStringLiteral("nicht"), QStringLiteral("auch"), QStringLiteral("eine"),
    QStringLiteral("wenn"), QStringLiteral("noch"), QStringLiteral("aber"), QStringLiteral("gut"), QStringLiteral("immer"),
    QStringLiteral("dann"), QStringLiteral("schon"), QStringLiteral("für"), QStringLiteral("beim"), QStringLiteral("sehr")};
const QStringList kPrefixes{QStringLiteral("Eichen"), QStringLiteral("Buchen"), QStringLiteral("Kiefern"),
                            QStringLiteral("Nuss"), QStringLiteral("Ahorn"), QStringLiteral("Kirsch")};
const QStringList kStems{QStringLiteral("holz"), QStringLiteral("brett"), QStringLiteral("platte"),
                         QStringLiteral("leiste"), QStringLiteral("furnier")};

// The whole-thread address of thread `number`.
QString threadAddress(qint32 number)
{
    return QStringLiteral("http://forum/cgi-bin/forum/webbbs_config.pl/read/%1/thread#%1").arg(number);
}

class Writer
{
public:
    explicit Writer(quint32 seed) : m_random(seed) {}

    QString pick(const QStringList &list) { return list.at(int(m_random() % list.size())); }

    QString text()
    {
        QStringList words;
        const int count = 30 + int(m_random() % 50);
        for (int i = 0; i < count; ++i) {
            const quint32 kind = m_random() % 10;
            if (kind < 5)
                words << pick(kFiller);
            else if (kind < 8)
                words << pick(kWords);
            else if (kind < 9)
                words << pick(kPrefixes) + pick(kStems);
            else
                words << QStringLiteral("Wort%1").arg(m_random() % 50000);
            if (m_random() % 12 == 0)
                words.last() += QStringLiteral(".\n");
        }
        return words.join(QLatin1Char(' '));
    }

    ArchivedThread thread(qint32 number, int messages)
    {
        ArchivedThread thread;
        thread.section = ForumKind(number % 3);
        thread.number = number;
        thread.title = pick(kWords) + QLatin1Char(' ') + pick(kFiller) + QLatin1Char(' ') + pick(kWords);
        thread.address = threadAddress(number);
        const QDateTime start = QDateTime(QDate(2005, 1, 1), QTime(8, 0)).addSecs(qint64(number) * 9000);
        for (int i = 0; i < messages; ++i) {
            ArchivedMessage &m = thread.messages.emplace_back();
            m.key = QStringLiteral("m%1").arg(i);
            m.number = qint64(number) * 100 + i;
            m.title = (i ? QStringLiteral("Re: ") : QString()) + thread.title;
            m.author = QStringLiteral("Mitglied%1").arg(m_random() % 3000);
            m.posted = start.addSecs(qint64(i) * 1800);
            m.text = text();
        }
        return thread;
    }

private:
    std::mt19937 m_random;
};

// The markup of a whole-thread page as the browser host hands it over.
QString threadPage(const ArchivedThread &thread)
{
    QString out = QStringLiteral("<BODY>\r\n<P align=center><BIG><BIG><STRONG>%1</STRONG></BIG></BIG></P>\r\n").arg(thread.title);
    for (const ArchivedMessage &m : thread.messages) {
        QString text = m.text.toHtmlEscaped();
        text.replace(QLatin1Char('\n'), QStringLiteral("<BR>\r\n"));
        out += QStringLiteral("<HR>\r\n<P align=center><STRONG><BIG>%1</BIG></STRONG></P>\r\n"
                              "<P align=center><EM>Geschrieben von %2 am %3</EM></P>\r\n"
                              "<BLOCKQUOTE><P><FONT face=Arial>%4</FONT></P></BLOCKQUOTE>\r\n")
                   .arg(m.title, m.author, m.posted.toString(QStringLiteral("dd.MM.yyyy, HH:mm:ss")), text);
    }
    return out + QStringLiteral("<HR>\r\n</BODY>");
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tarnvik.sqlite"));
    qint64 textBytes = 0;
    {
        tarnvik::Database db;
        if (!db.open(path) || !db.migrate(ArchiveStore::schema()))
            return 1;
        ArchiveStore store(db);
        Writer writer(7);
        QElapsedTimer seeding;
        seeding.start();
        for (int n = 1; n <= kThreads; ++n) {
            const ArchivedThread thread = writer.thread(n, kMessagesPerThread);
            for (const ArchivedMessage &m : thread.messages)
                textBytes += m.title.toUtf8().size() + m.author.toUtf8().size() + m.text.toUtf8().size();
            if (!store.keep(thread).ok)
                return 1;
        }
        std::printf("seed_s %.1f\n", seeding.elapsed() / 1000.0);
        QSqlQuery(db.connection()).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    const qint64 dbBytes = QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();

    // Keeping a 1000-message thread through the archive's writer, while the
    // user-interface thread's timer measures its longest wait.
    std::vector<double> keeps;
    double uiBlock = 0;
    {
        Archive archive({path, dir.filePath(QStringLiteral("Ansicht/")), true, 0});
        Writer writer(11);
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            uiBlock = std::max(uiBlock, sinceTick.nsecsElapsed() / 1e6);
            sinceTick.restart();
        });
        for (int run = 0; run < 5; ++run) {
            const QString page = threadPage(writer.thread(kThreads + 1 + run, 1000));
            const QString address = threadAddress(kThreads + 1 + run);
            bool done = false;
            const auto connection = QObject::connect(&archive, &Archive::kept, [&] { done = true; });
            sinceTick.start();
            ticker.start();
            QElapsedTimer t;
            t.start();
            archive.keepShownPage(address, page);
            waitFor([&] { return done; });
            keeps.push_back(t.nsecsElapsed() / 1e6);
            ticker.stop();
            QObject::disconnect(connection);
        }
    }

    tarnvik::Database db;
    db.open(path);
    ArchiveStore store(db);
    // The two halves of keeping a thread, on this thread: reading the page
    // and writing it.
    {
        Writer writer(13);
        const ArchivedThread big = writer.thread(kThreads + 10, 1000);
        const QString page = threadPage(big);
        const QString address = threadAddress(kThreads + 10);
        QElapsedTimer t;
        t.start();
        const auto read = readThreadPage(address, page);
        std::printf("read_page_ms %.1f\n", t.nsecsElapsed() / 1e6);
        t.restart();
        store.keep(*read);
        std::printf("store_keep_ms %.1f\n", t.nsecsElapsed() / 1e6);
    }
    const QStringList queries{
        QStringLiteral("hobel"),       QStringLiteral("Schraenke"),   QStringLiteral("leim eiche"),
        QStringLiteral("Gruesse"),     QStringLiteral("strasse"),     QStringLiteral("oberfr"),
        QStringLiteral("säge blatt"),  QStringLiteral("zinken"),      QStringLiteral("wort4711"),
        QStringLiteral("nussholz"),    QStringLiteral("DÜBEL"),       QStringLiteral("schärfen wasser"),
        QStringLiteral("fase winkel"), QStringLiteral("furnier"),     QStringLiteral("drechsel"),
        QStringLiteral("wort123 hobel"), QStringLiteral("körnung"),   QStringLiteral("sp"),
        QStringLiteral("holzplatte"),  QStringLiteral("fräsvorrichtung")};
    std::vector<double> program, raw, relevance;
    double programSum = 0, rawSum = 0;
    for (int rep = 0; rep < 10; ++rep) {
        for (const QString &text : queries) {
            SearchRequest request;
            request.text = text;
            QElapsedTimer t;
            t.start();
            const SearchResult result = store.search(request);
            const double ms = t.nsecsElapsed() / 1e6;
            if (!result.error.isEmpty())
                std::fprintf(stderr, "%s: %s\n", qPrintable(text), qPrintable(result.error));
            // The same full-text queries, run raw.
            t.restart();
            for (const QString &match : result.matches) {
                QSqlQuery query(db.connection());
                query.setForwardOnly(true);
                query.prepare(QStringLiteral("SELECT rowid FROM archive_words WHERE archive_words MATCH ? "
                                             "ORDER BY rowid DESC LIMIT %1").arg(ArchiveStore::kLookedAt));
                query.addBindValue(match);
                query.exec();
                while (query.next()) {
                }
            }
            const double rawMs = t.nsecsElapsed() / 1e6;
            request.newestFirst = false;
            t.restart();
            store.search(request);
            relevance.push_back(t.nsecsElapsed() / 1e6);
            if (rep > 0) { // the first round warms the caches
                program.push_back(ms);
                raw.push_back(rawMs);
                programSum += ms;
                rawSum += rawMs;
            }
        }
    }
    std::printf("p50_ms %.2f\n", percentile(program, 0.5));
    std::printf("p95_ms %.2f\n", percentile(program, 0.95));
    std::printf("raw_p50_ms %.2f\n", percentile(raw, 0.5));
    std::printf("ratio %.2f\n", rawSum > 0 ? programSum / rawSum : 0);
    std::printf("relevance_p95_ms %.2f\n", percentile(relevance, 0.95));
    std::printf("archive_thread_ms %.1f\n", median(keeps));
    std::printf("ui_block_ms %.1f\n", uiBlock);
    std::printf("db_bytes_per_text_byte %.2f\n", textBytes > 0 ? double(dbBytes) / double(textBytes) : 0);
    return 0;
}
