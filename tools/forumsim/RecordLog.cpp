#include "RecordLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>

namespace forumsim {

namespace {

constexpr std::string_view kMagic = "TVK1 ";
constexpr std::size_t kMaxHeaderLine = 40;

std::uint32_t checksum(std::string_view data)
{
    return static_cast<std::uint32_t>(
        ::crc32(0L, reinterpret_cast<const Bytef *>(data.data()), static_cast<uInt>(data.size())));
}

void escapeInto(std::string &out, std::string_view value)
{
    for (const char c : value) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
}

bool unescapeInto(std::string &out, std::string_view value)
{
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i >= value.size())
            return false;
        switch (value[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        default: return false;
        }
    }
    return true;
}

bool decodePayload(std::string_view payload, Record &record)
{
    while (!payload.empty()) {
        const std::size_t end = payload.find('\n');
        if (end == std::string_view::npos)
            return false;
        const std::string_view line = payload.substr(0, end);
        payload.remove_prefix(end + 1);
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos || tab == 0)
            return false;
        std::string value;
        if (!unescapeInto(value, line.substr(tab + 1)))
            return false;
        record.push_back({std::string(line.substr(0, tab)), std::move(value)});
    }
    return true;
}

// Header "TVK1 <length> <crc hex>" at the start of `line`.
bool parseHeader(std::string_view line, std::size_t &length, std::uint32_t &crc)
{
    if (!line.starts_with(kMagic))
        return false;
    line.remove_prefix(kMagic.size());
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos)
        return false;
    const std::string_view lengthText = line.substr(0, blank);
    const std::string_view crcText = line.substr(blank + 1);
    const auto [p1, e1] = std::from_chars(lengthText.data(), lengthText.data() + lengthText.size(), length);
    const auto [p2, e2] = std::from_chars(crcText.data(), crcText.data() + crcText.size(), crc, 16);
    return e1 == std::errc() && p1 == lengthText.data() + lengthText.size() && e2 == std::errc()
           && p2 == crcText.data() + crcText.size() && !crcText.empty() && length <= kMaxRecordBytes;
}

} // namespace

std::string encodeRecord(const Record &record)
{
    std::string payload;
    for (const auto &[name, value] : record) {
        escapeInto(payload, name);
        payload += '\t';
        escapeInto(payload, value);
        payload += '\n';
    }
    char header[64];
    const int n = std::snprintf(header, sizeof header, "TVK1 %zu %08x\n", payload.size(),
                                static_cast<unsigned>(checksum(payload)));
    std::string out(header, static_cast<std::size_t>(n));
    out += payload;
    out += '\n';
    return out;
}

LogReadResult parseRecords(std::string_view text, const std::function<void(const Record &)> &each,
                           std::ostream &errors, std::string_view where)
{
    LogReadResult result;
    result.opened = true;
    std::size_t pos = 0;
    auto skipTo = [&](std::size_t from, std::string_view reason) {
        // The next header starts a line after `from`.
        const std::size_t next = text.find(std::string("\n") + std::string(kMagic), from);
        const std::size_t resume = next == std::string_view::npos ? text.size() : next + 1;
        errors << "tarnvik-forumsim: " << where << ": skipped a damaged record at byte " << pos << " ("
               << reason << ", " << (resume - pos) << " bytes)\n";
        ++result.damaged;
        pos = resume;
    };
    while (pos < text.size()) {
        if (text[pos] == '\n') {   // the line feed written after a cut-off record
            ++pos;
            continue;
        }
        const std::size_t lineEnd = text.find('\n', pos);
        const std::string_view line =
            text.substr(pos, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - pos);
        std::size_t length = 0;
        std::uint32_t crc = 0;
        if (lineEnd == std::string_view::npos || line.size() > kMaxHeaderLine || !parseHeader(line, length, crc)) {
            skipTo(pos, "no record header");
            continue;
        }
        const std::size_t start = lineEnd + 1;
        if (text.size() - start < length + 1 || text[start + length] != '\n') {
            skipTo(lineEnd, "cut off");
            continue;
        }
        const std::string_view payload = text.substr(start, length);
        Record record;
        if (checksum(payload) != crc || !decodePayload(payload, record)) {
            skipTo(lineEnd, "checksum");
            continue;
        }
        each(record);
        ++result.records;
        pos = start + length + 1;
    }
    return result;
}

std::optional<FileHead> readFileHead(const std::string &path, std::size_t maxBytes)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0)
        return std::nullopt;
    FileHead head;
    head.size = static_cast<std::uint64_t>(size);
    head.bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(head.size, maxBytes)));
    in.seekg(0);
    in.read(head.bytes.data(), static_cast<std::streamsize>(head.bytes.size()));
    head.bytes.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

LogReadResult readRecordLog(const std::string &path, const std::function<void(const Record &)> &each,
                            std::ostream &errors)
{
    const auto head = readFileHead(path, kMaxLogBytes);
    if (!head)
        return {};
    if (head->size > kMaxLogBytes)
        errors << "tarnvik-forumsim: " << path << ": only the first " << kMaxLogBytes / (1024 * 1024)
               << " MiB are read\n";
    return parseRecords(head->bytes, each, errors, path);
}

RecordLog::~RecordLog()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RecordLog::open(const std::string &path, std::string &error)
{
    const std::lock_guard lock(m_mutex);
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        char last = '\n';
        if (::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n') {
            if (::write(fd, "\n", 1) != 1) {
                error = path + ": " + std::strerror(errno);
                ::close(fd);
                return false;
            }
        }
    }
    m_fd = fd;
    return true;
}

bool writeAll(int fd, std::string_view data)
{
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

bool RecordLog::append(const Record &record)
{
    std::string data = encodeRecord(record);
    const std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return false;
    // After a failed append that could not be cut back, the next record
    // starts on a line of its own, where the reader picks up again.
    if (m_resync)
        data.insert(0, 1, '\n');
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return false;
    if (writeAll(m_fd, data) && ::fdatasync(m_fd) == 0) {
        m_resync = false;
        return true;
    }
    // A failed write (a full disk) may have left part of the record: cut
    // the file back, so that the post counts as not stored now and later.
    const bool cut = ::ftruncate(m_fd, st.st_size) == 0 && ::fdatasync(m_fd) == 0;
    m_resync = m_resync || !cut;
    return false;
}

} // namespace forumsim
