#include "Store.h"

#include <algorithm>
#include <ctime>
#include <limits>
#include <mutex>

namespace forumsim {

Timestamp localNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return makeTimestamp(tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1), static_cast<unsigned>(tm.tm_mday),
                         tm.tm_hour, tm.tm_min, tm.tm_sec);
}

int ForumStore::addSection(std::string word, std::string title, int firstNumber, int lastNumber)
{
    std::unique_lock lock(m_mutex);
    if (word.empty() || firstNumber < 1 || lastNumber < firstNumber || lastNumber - firstNumber >= kNumberBlockStride)
        return -1;
    for (const Section &s : m_sections) {
        if (s.word == word)
            return -1;
    }
    Section s;
    s.word = std::move(word);
    s.title = std::move(title);
    s.nextNumber = firstNumber;
    s.blockFirst = firstNumber;
    s.blockLast = lastNumber;
    m_sections.push_back(std::move(s));
    return static_cast<int>(m_sections.size()) - 1;
}

const Section *ForumStore::section(std::string_view word) const
{
    for (const Section &s : m_sections) {
        if (s.word == word)
            return &s;
    }
    return nullptr;
}

const Message *ForumStore::message(int number) const
{
    const auto it = m_messages.find(number);
    return it == m_messages.end() ? nullptr : &it->second;
}

int ForumStore::allocateNumber(Section &section) const
{
    for (;;) {
        while (section.nextNumber <= section.blockLast && m_messages.contains(section.nextNumber))
            ++section.nextNumber;
        if (section.nextNumber <= section.blockLast)
            return section.nextNumber++;
        if (section.blockLast > std::numeric_limits<int>::max() - kNumberBlockStride)
            return 0;   // no numbers left
        section.blockFirst += kNumberBlockStride;
        section.blockLast += kNumberBlockStride;
        section.nextNumber = section.blockFirst;
    }
}

int ForumStore::addMessage(std::string_view sectionWord, int parent, MessageData data, int number)
{
    std::unique_lock lock(m_mutex);
    const auto sectionIt = std::find_if(m_sections.begin(), m_sections.end(),
                                        [&](const Section &s) { return s.word == sectionWord; });
    if (sectionIt == m_sections.end())
        return 0;
    const int sectionIndex = static_cast<int>(sectionIt - m_sections.begin());

    Message *parentMessage = nullptr;
    if (parent != 0) {
        const auto it = m_messages.find(parent);
        if (it == m_messages.end() || it->second.section != sectionIndex)
            return 0;
        parentMessage = &it->second;
    }
    if (number == 0)
        number = allocateNumber(*sectionIt);
    if (number <= 0 || m_messages.contains(number))
        return 0;

    Message m;
    static_cast<MessageData &>(m) = std::move(data);
    m.number = number;
    m.parent = parent;
    m.root = parentMessage ? parentMessage->root : number;
    m.section = sectionIndex;
    const Timestamp time = m.time;

    if (parentMessage)
        parentMessage->children.push_back(number);
    m_messages.emplace(number, std::move(m));

    if (parent == 0) {
        // Newest thread first; of two threads started at the same second the
        // higher number goes first.
        auto &threads = sectionIt->threads;
        const auto pos = std::find_if(threads.begin(), threads.end(), [&](int other) {
            const Message &o = m_messages.at(other);
            return o.time < time || (o.time == time && o.number < number);
        });
        threads.insert(pos, number);
    }
    return number;
}

void ForumStore::removeMessage(int number)
{
    std::unique_lock lock(m_mutex);
    const auto it = m_messages.find(number);
    if (it == m_messages.end() || !it->second.children.empty())
        return;
    const Message &m = it->second;
    if (m.parent != 0) {
        if (const auto parent = m_messages.find(m.parent); parent != m_messages.end())
            std::erase(parent->second.children, number);
    } else {
        std::erase(m_sections.at(static_cast<std::size_t>(m.section)).threads, number);
    }
    m_messages.erase(it);
}

std::vector<TreeEntry> ForumStore::threadTree(int root) const
{
    std::vector<TreeEntry> out;
    const Message *first = message(root);
    if (!first)
        return out;
    struct Pending {
        const Message *message;
        int depth;
    };
    std::vector<Pending> stack{{first, 0}};
    while (!stack.empty()) {
        const Pending p = stack.back();
        stack.pop_back();
        out.push_back({p.message, p.depth});
        // Push answers newest first so that the oldest is visited next.
        for (auto it = p.message->children.rbegin(); it != p.message->children.rend(); ++it) {
            if (const Message *child = message(*it))
                stack.push_back({child, p.depth + 1});
        }
    }
    return out;
}

} // namespace forumsim
