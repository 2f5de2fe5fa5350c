#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <map>
#include <optional>
#include <set>

namespace tarnvik::watch {

// Which pages one check asks for, one at a time. Each section's index pages
// that held watched threads last time come first, in page order: one index
// page serves every watched thread on it. A thread missing from its page is
// looked for on the next page (newer threads push older ones down); one
// found on no index page is asked for by its whole-thread page.
class CheckPlan
{
public:
    struct Thread {
        qint32 root = 0;
        QString section;
        int indexPage = 0; // 0: on no index page
    };
    struct Request {
        QString section;
        int page = 0;     // an index page, or
        qint32 root = 0;  // a whole-thread page
        bool operator==(const Request &) const = default;
    };
    enum class Found { NotYet, OnIndex, OnThreadPage, Vanished };

    explicit CheckPlan(const QList<Thread> &threads);

    // The next page to ask for; none when the check is done.
    std::optional<Request> next();
    // An index page answered with the threads it lists (all of them, not
    // only watched ones) and the highest page it links to.
    void indexRead(const QString &section, int page, const QSet<qint32> &roots, int lastPage);
    // A whole-thread page answered; `found` false when the thread is gone.
    void threadRead(qint32 root, bool found);

    Found found(qint32 root) const;
    // The index page a thread was found on (0 when on none).
    int pageOf(qint32 root) const;

private:
    struct Section {
        std::set<int> pending;
        std::set<int> asked;
        int lastPage = 0;
    };
    struct State {
        Thread thread;
        Found found = Found::NotYet;
        int page = 0;
        bool triedNextPage = false;
        bool askedThreadPage = false;
    };
    bool planNextPages();

    std::map<QString, Section> m_sections;
    QList<qint32> m_order;
    QHash<qint32, State> m_threads;
};

} // namespace tarnvik::watch
