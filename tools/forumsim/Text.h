#pragma once

// Small text helpers for what arrives from forms and files: UTF-8 checks,
// trimming, case folding of names, percent-decoding of form bodies.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace forumsim {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);
// Code points of valid UTF-8 text.
std::size_t codePointCount(std::string_view text);
// True if the text holds a C0 control character or DEL; `allowLineBreaks`
// lets TAB, CR and LF pass.
bool hasControlCharacters(std::string_view text, bool allowLineBreaks);

// Without leading and trailing blanks, tabs and line breaks (ASCII only, so
// that UTF-8 sequences stay whole).
std::string_view trimmed(std::string_view text);
std::string asciiLower(std::string_view text);
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// A whole number of 1 to 9 digits with nothing around it.
std::optional<int> parseDecimal(std::string_view text);
// A whole number that fits 64 bits, "-" allowed, with nothing around it.
std::optional<std::int64_t> parseInteger(std::string_view text);

// A named text: a field of a form or of a stored record.
struct Field {
    std::string name;
    std::string value;
};
using Fields = std::vector<Field>;

// Splits an application/x-www-form-urlencoded body into its fields ('+' is a
// blank, %XX a byte). Empty when a percent sign is not followed by two hex
// digits or there are more than `maxFields` fields.
std::optional<Fields> parseUrlEncoded(std::string_view body, std::size_t maxFields);
// The first field of that name, or nothing.
const std::string *findField(const Fields &fields, std::string_view name);
// The first field of that name's value; empty when there is none.
std::string fieldText(const Fields &fields, std::string_view name);

// The value of the attribute "name=value" (or name="value") of a header such
// as Content-Type; empty if absent.
std::string headerParameter(std::string_view header, std::string_view name);
// The header's media type, lower case, without parameters.
std::string mediaType(std::string_view header);

} // namespace forumsim
