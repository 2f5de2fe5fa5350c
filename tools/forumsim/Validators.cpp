#include "Validators.h"

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace forumsim {

std::string entityTag(std::string_view body)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : body) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    char buf[24];
    std::snprintf(buf, sizeof buf, "\"%016llx\"", static_cast<unsigned long long>(hash));
    return buf;
}

std::string httpDate(Timestamp time)
{
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[40];
    std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    return buf;
}

std::optional<Timestamp> parseHttpDate(const std::string &text)
{
    std::tm tm{};
    const char *end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm);
    if (!end || *end != '\0')
        return std::nullopt;
    return static_cast<Timestamp>(timegm(&tm));
}

bool notModified(const std::optional<std::string> &ifNoneMatch, const std::string &ifModifiedSince,
                 std::string_view tag, Timestamp lastModified)
{
    if (ifNoneMatch) {
        std::string_view list = *ifNoneMatch;
        while (!list.empty()) {
            const std::size_t comma = list.find(',');
            std::string_view item = list.substr(0, comma);
            while (!item.empty() && item.front() == ' ')
                item.remove_prefix(1);
            while (!item.empty() && item.back() == ' ')
                item.remove_suffix(1);
            if (item.starts_with("W/"))
                item.remove_prefix(2);
            if (item == "*" || item == tag)
                return true;
            list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        }
        return false;
    }
    const auto since = parseHttpDate(ifModifiedSince);
    return since && lastModified <= *since;
}

} // namespace forumsim
