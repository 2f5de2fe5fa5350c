#pragma once

// The simulator's forum: sections, threads and messages, held in memory.
//
// Message numbers are unique across the whole server. Each section draws new
// numbers from its own block (forum 1001-1999, holzbearbeitungsmaschinen
// 2001-2999, ...) so that seeded numbers stay stable; a full block goes on in
// the same block of the next ten thousand (forum 11001-11999, 21001-...), so
// that a number's thousands digit always names its section.
//
// Locking: the server answers on several threads and messages may be added
// while it runs. Mutating calls lock by themselves. Readers take readLock()
// and keep it while they use the pointers and references the const queries
// hand out; never call a mutating method while holding it.

#include <chrono>
#include <cstdint>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace forumsim {

// One line of a message's text: plain text (escaped when rendered) or a
// picture shown by its address.
struct BodyLine {
    enum class Kind { Text, Picture };
    Kind kind = Kind::Text;
    std::string text;   // the text, or the picture's address

    static BodyLine plain(std::string t) { return {Kind::Text, std::move(t)}; }
    static BodyLine picture(std::string url) { return {Kind::Picture, std::move(url)}; }
};

// Seconds since 1970-01-01 00:00, read as the forum's local time.
using Timestamp = std::int64_t;

constexpr Timestamp makeTimestamp(int year, unsigned month, unsigned day,
                                  int hour = 0, int minute = 0, int second = 0)
{
    using namespace std::chrono;
    const sys_days date{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}};
    return date.time_since_epoch().count() * 86400LL + hour * 3600LL + minute * 60LL + second;
}

// The forum's local time now.
Timestamp localNow();

struct MessageData {
    std::string subject;
    std::string author;
    Timestamp time = 0;
    std::vector<BodyLine> body;   // the seeded messages' text
    // A message published through the posting form keeps its body exactly as
    // typed, markup included; pages render it when they are asked for.
    bool posted = false;
    std::string markup{};
    std::string email{};
    std::string linkUrl{}, linkTitle{}, imageUrl{};   // the form's optional extras
};

struct Message : MessageData {
    int number = 0;
    int parent = 0;        // 0 for the first message of a thread
    int root = 0;          // first message of the thread
    int section = 0;       // index into ForumStore::sections()
    std::vector<int> children;   // answers, oldest first
};

struct Section {
    std::string word;      // the address word: /cgi-bin/<word>/webbbs_config.pl
    std::string title;
    std::vector<int> threads;    // first messages, newest thread first
    int nextNumber = 0;          // where the search for a free number goes on
    int blockFirst = 0;          // the section's block that holds nextNumber
    int blockLast = 0;
};

// The distance between a section's blocks of numbers.
inline constexpr int kNumberBlockStride = 10000;

// A message in a thread's tree, in depth-first order with its depth (0 = root).
struct TreeEntry {
    const Message *message;
    int depth;
};

class ForumStore {
public:
    ForumStore() = default;
    ForumStore(const ForumStore &) = delete;
    ForumStore &operator=(const ForumStore &) = delete;

    // Adds a section whose new messages are numbered from firstNumber up to
    // lastNumber, then in the same block of each next ten thousand. Returns
    // its index, or -1 if the word is taken or empty or the block does not
    // fit into ten thousand numbers.
    int addSection(std::string word, std::string title, int firstNumber, int lastNumber);

    // Starts a thread (parent 0) or answers message `parent`, which must
    // belong to the same section. `number` 0 picks the next free number.
    // Returns the new message's number, or 0 if the section or parent is
    // unknown or the number is taken or not positive.
    int addMessage(std::string_view sectionWord, int parent, MessageData data, int number = 0);
    // Takes a message without answers out again (a post whose saving
    // failed). Its number is not handed out again.
    void removeMessage(int number);

    [[nodiscard]] std::shared_lock<std::shared_mutex> readLock() const
    {
        return std::shared_lock<std::shared_mutex>(m_mutex);
    }

    // The queries below expect the caller to hold readLock() (or to be the
    // only thread, as while seeding).
    const std::vector<Section> &sections() const { return m_sections; }
    const Section *section(std::string_view word) const;
    const Message *message(int number) const;
    // The thread under `root` in depth-first order; empty if root is unknown.
    // Iterative, so deep answer chains cannot exhaust the stack.
    std::vector<TreeEntry> threadTree(int root) const;
    std::size_t messageCount() const { return m_messages.size(); }

private:
    int allocateNumber(Section &section) const;

    mutable std::shared_mutex m_mutex;
    std::vector<Section> m_sections;
    std::unordered_map<int, Message> m_messages;
};

} // namespace forumsim
