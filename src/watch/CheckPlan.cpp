#include "watch/CheckPlan.h"

namespace tarnvik::watch {

CheckPlan::CheckPlan(const QList<Thread> &threads)
{
    for (const Thread &t : threads) {
        if (t.root <= 0 || m_threads.contains(t.root))
            continue;
        m_order.append(t.root);
        m_threads.insert(t.root, State{t});
        Section &section = m_sections[t.section];
        if (t.indexPage > 0)
            section.pending.insert(t.indexPage);
    }
    std::sort(m_order.begin(), m_order.end());
}

std::optional<CheckPlan::Request> CheckPlan::next()
{
    do {
        for (auto &[word, section] : m_sections) {
            if (section.pending.empty())
                continue;
            const int page = *section.pending.begin();
            section.pending.erase(section.pending.begin());
            section.asked.insert(page);
            return Request{word, page, 0};
        }
    } while (planNextPages());
    for (const qint32 root : std::as_const(m_order)) {
        State &state = m_threads[root];
        if (state.found == Found::NotYet && !state.askedThreadPage) {
            state.askedThreadPage = true;
            return Request{state.thread.section, 0, root};
        }
    }
    return std::nullopt;
}

// A thread missing from the page it was on is looked for once on the page
// after it, when that page exists and was not asked for yet.
bool CheckPlan::planNextPages()
{
    bool planned = false;
    for (const qint32 root : std::as_const(m_order)) {
        State &state = m_threads[root];
        if (state.found != Found::NotYet || state.triedNextPage || state.thread.indexPage <= 0)
            continue;
        state.triedNextPage = true;
        Section &section = m_sections[state.thread.section];
        const int page = state.thread.indexPage + 1;
        if (page <= section.lastPage && !section.asked.count(page)) {
            section.pending.insert(page);
            planned = true;
        }
    }
    return planned;
}

void CheckPlan::indexRead(const QString &section, int page, const QSet<qint32> &roots, int lastPage)
{
    Section &s = m_sections[section];
    s.lastPage = qMax(s.lastPage, qMax(lastPage, page));
    for (const qint32 root : roots) {
        auto it = m_threads.find(root);
        if (it == m_threads.end() || it->found != Found::NotYet || it->thread.section != section)
            continue;
        it->found = Found::OnIndex;
        it->page = page;
    }
}

void CheckPlan::threadRead(qint32 root, bool found)
{
    auto it = m_threads.find(root);
    if (it != m_threads.end() && it->found == Found::NotYet)
        it->found = found ? Found::OnThreadPage : Found::Vanished;
}

CheckPlan::Found CheckPlan::found(qint32 root) const
{
    return m_threads.value(root).found;
}

int CheckPlan::pageOf(qint32 root) const
{
    return m_threads.value(root).page;
}

} // namespace tarnvik::watch
