#include "Text.h"

#include <algorithm>
#include <charconv>

namespace forumsim {

bool isValidUtf8(std::string_view text)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const auto *end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        std::uint32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))
            || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

std::size_t codePointCount(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool hasControlCharacters(std::string_view text, bool allowLineBreaks)
{
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (allowLineBreaks && (c == '\t' || c == '\r' || c == '\n'))
            continue;
        if (c < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string asciiLower(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && asciiLower(a) == asciiLower(b);
}

std::optional<int> parseDecimal(std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || text.front() == '-'
        || text.front() == '+')
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> parseInteger(std::string_view text)
{
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int hi = hexValue(text[i + 1]);
            const int lo = hexValue(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::optional<Fields> parseUrlEncoded(std::string_view body, std::size_t maxFields)
{
    Fields fields;
    while (!body.empty()) {
        const std::size_t amp = body.find('&');
        const std::string_view pair = body.substr(0, amp);
        body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
        if (pair.empty())
            continue;
        if (fields.size() >= maxFields)
            return std::nullopt;
        const std::size_t eq = pair.find('=');
        auto name = percentDecode(pair.substr(0, eq));
        auto value = percentDecode(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1));
        if (!name || !value)
            return std::nullopt;
        fields.push_back({std::move(*name), std::move(*value)});
    }
    return fields;
}

const std::string *findField(const Fields &fields, std::string_view name)
{
    for (const Field &f : fields) {
        if (f.name == name)
            return &f.value;
    }
    return nullptr;
}

std::string fieldText(const Fields &fields, std::string_view name)
{
    const std::string *value = findField(fields, name);
    return value ? *value : std::string();
}

std::string mediaType(std::string_view header)
{
    return asciiLower(trimmed(header.substr(0, header.find(';'))));
}

std::string headerParameter(std::string_view header, std::string_view name)
{
    std::size_t pos = header.find(';');
    while (pos != std::string_view::npos) {
        const std::size_t next = header.find(';', pos + 1);
        const std::string_view part = trimmed(header.substr(pos + 1, next == std::string_view::npos
                                                                          ? std::string_view::npos
                                                                          : next - pos - 1));
        const std::size_t eq = part.find('=');
        if (eq != std::string_view::npos && equalsIgnoringAsciiCase(trimmed(part.substr(0, eq)), name)) {
            std::string_view value = trimmed(part.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            return std::string(value);
        }
        pos = next;
    }
    return {};
}

} // namespace forumsim
