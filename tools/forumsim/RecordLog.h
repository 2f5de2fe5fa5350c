#pragma once

// An append-only file of records, each a list of named text fields, that
// survives a crash in the middle of a write.
//
// Each record is one header line "TVK1 <length> <crc32>" followed by
// `length` bytes of fields and a line feed. A field is one line
// "name<TAB>value" with backslash, tab, CR and LF escaped in the value, so
// a header line can never appear inside a record. Reading skips records
// whose length or checksum do not fit (a torn last write, a damaged block)
// and picks up again at the next header line.

#include "Text.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace forumsim {

// Writes all of `data` to the descriptor, through interruptions and short
// writes; false on any error.
bool writeAll(int fd, std::string_view data);

// The first `maxBytes` (at most) of a file and the size the file had.
struct FileHead {
    std::string bytes;
    std::uint64_t size = 0;
    bool whole() const { return bytes.size() == size; }
};
// Nothing when the file cannot be opened.
std::optional<FileHead> readFileHead(const std::string &path, std::size_t maxBytes);

// Looked into with findField() and fieldText().
using Record = Fields;

inline constexpr std::size_t kMaxRecordBytes = 1024 * 1024;
inline constexpr std::size_t kMaxLogBytes = 512u * 1024 * 1024;

std::string encodeRecord(const Record &record);

struct LogReadResult {
    std::size_t records = 0;    // intact records handed on
    std::size_t damaged = 0;    // stretches skipped
    bool opened = false;        // false: no such file (not an error)
};

// Hands every intact record of `text` to `each` in order; `where` names the
// file in the messages written to `errors` about damaged stretches.
LogReadResult parseRecords(std::string_view text, const std::function<void(const Record &)> &each,
                           std::ostream &errors, std::string_view where);

// Reads at most kMaxLogBytes of the file at `path` (saying so when there is
// more) and parses it as above.
LogReadResult readRecordLog(const std::string &path, const std::function<void(const Record &)> &each,
                            std::ostream &errors);

class RecordLog {
public:
    RecordLog() = default;
    RecordLog(const RecordLog &) = delete;
    RecordLog &operator=(const RecordLog &) = delete;
    ~RecordLog();

    // Opens (creating) the file for appending. A file whose last record was
    // cut off gets a line feed first, so that the next header starts a line.
    bool open(const std::string &path, std::string &error);
    bool isOpen() const { return m_fd >= 0; }
    // Writes the record and flushes it to the disk. Thread-safe. When the
    // write fails the file is cut back to its length before, so that no
    // part of the record stays (failing that, the next record starts on a
    // fresh line).
    bool append(const Record &record);

private:
    std::mutex m_mutex;
    int m_fd = -1;
    bool m_resync = false;
};

} // namespace forumsim
