#include "Markup.h"

#include "Pages.h"
#include "Text.h"

#include <array>
#include <optional>
#include <vector>

namespace forumsim {

namespace {

// Markup that comes in pairs. The first kinds are inline, Center and List
// are blocks.
enum class Tag { Bold, Italic, Red, Big, Code, Sup, Sub, Center, List };

bool isBlock(Tag tag)
{
    return tag == Tag::Center || tag == Tag::List;
}

struct TagSpelling {
    Tag tag;
    std::string_view word;
    bool escaped;   // written "&lt;word&gt;" rather than "[word]"
};

constexpr std::array<TagSpelling, 9> kTags = {{
    {Tag::Bold, "b", false},
    {Tag::Italic, "i", false},
    {Tag::Red, "red", false},
    {Tag::Big, "big", false},
    {Tag::Code, "code", false},
    {Tag::Center, "center", false},
    {Tag::List, "list", false},
    {Tag::Sup, "sup", true},
    {Tag::Sub, "sub", true},
}};

std::string_view openHtml(Tag tag)
{
    switch (tag) {
    case Tag::Bold: return "<B>";
    case Tag::Italic: return "<I>";
    case Tag::Red: return "<FONT color=red>";
    case Tag::Big: return "<BIG>";
    case Tag::Code: return "<CODE>";
    case Tag::Sup: return "<SUP>";
    case Tag::Sub: return "<SUB>";
    case Tag::Center: return "<CENTER>";
    case Tag::List: return "<UL>";
    }
    return {};
}

std::string_view closeHtml(Tag tag)
{
    switch (tag) {
    case Tag::Bold: return "</B>";
    case Tag::Italic: return "</I>";
    case Tag::Red: return "</FONT>";
    case Tag::Big: return "</BIG>";
    case Tag::Code: return "</CODE>";
    case Tag::Sup: return "</SUP>";
    case Tag::Sub: return "</SUB>";
    case Tag::Center: return "</CENTER>";
    case Tag::List: return "</UL>";
    }
    return {};
}

struct Token {
    enum class Kind { Text, Newline, Open, Close, Item, Link, Picture };
    Kind kind = Kind::Text;
    std::string_view raw;   // the typed text; shown as is when the token is not markup
    Tag tag = Tag::Bold;
    std::string address;
    std::string label;
    std::string width, height, border;
    bool matched = false;   // Open/Close: part of a well-formed pair
};

constexpr std::size_t kMaxNesting = 32;
constexpr std::size_t kMaxAddress = 2048;
constexpr std::size_t kMaxLabel = 500;

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

bool allDigits(std::string_view text, std::size_t maxLength)
{
    if (text.empty() || text.size() > maxLength)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

struct Attribute {
    std::string name;   // lower case
    std::string_view value;
};

// Attributes of an entity-escaped tag, from just after its word up to and
// including its "&gt;": ` name="value"` or ` name='value'`. Returns the
// length consumed, or nothing when the text is no such tag.
std::optional<std::size_t> parseAttributes(std::string_view text, std::vector<Attribute> &out)
{
    std::size_t pos = 0;
    while (out.size() <= 6) {
        const std::size_t blanks = text.find_first_not_of(' ', pos);
        if (blanks == std::string_view::npos)
            return std::nullopt;
        if (startsWithNoCase(text.substr(blanks), "&gt;"))
            return blanks + 4;
        if (blanks == pos)
            return std::nullopt;   // attributes are separated by blanks
        pos = blanks;
        std::size_t nameEnd = pos;
        while (nameEnd < text.size() && ((text[nameEnd] >= 'a' && text[nameEnd] <= 'z')
                                         || (text[nameEnd] >= 'A' && text[nameEnd] <= 'Z')))
            ++nameEnd;
        if (nameEnd == pos || nameEnd + 1 >= text.size() || text[nameEnd] != '=')
            return std::nullopt;
        const char quote = text[nameEnd + 1];
        if (quote != '"' && quote != '\'')
            return std::nullopt;
        const std::size_t valueStart = nameEnd + 2;
        const std::size_t valueEnd = text.find(quote, valueStart);
        if (valueEnd == std::string_view::npos || valueEnd - valueStart > kMaxAddress)
            return std::nullopt;
        const std::string_view value = text.substr(valueStart, valueEnd - valueStart);
        if (value.find_first_of("\r\n") != std::string_view::npos)
            return std::nullopt;
        std::string name = asciiLower(text.substr(pos, nameEnd - pos));
        for (const Attribute &a : out) {
            if (a.name == name)
                return std::nullopt;
        }
        out.push_back({std::move(name), value});
        pos = valueEnd + 1;
    }
    return std::nullopt;
}

const Attribute *attribute(const std::vector<Attribute> &attributes, std::string_view name)
{
    for (const Attribute &a : attributes) {
        if (a.name == name)
            return &a;
    }
    return nullptr;
}

// "&lt;a href=".." target="_blank"&gt;LABEL&lt;/a&gt;" at the start of `text`.
std::optional<Token> parseLink(std::string_view text)
{
    constexpr std::string_view open = "&lt;a";
    constexpr std::string_view close = "&lt;/a&gt;";
    if (!startsWithNoCase(text, open))
        return std::nullopt;
    std::vector<Attribute> attributes;
    const auto length = parseAttributes(text.substr(open.size()), attributes);
    if (!length)
        return std::nullopt;
    const Attribute *href = attribute(attributes, "href");
    const Attribute *target = attribute(attributes, "target");
    if (!href || attributes.size() != (target ? 2u : 1u) || (target && target->value != "_blank")
        || !isSafeAddress(href->value, true))
        return std::nullopt;
    const std::size_t labelStart = open.size() + *length;
    const std::string_view rest = text.substr(labelStart, kMaxLabel + close.size());
    std::size_t labelEnd = std::string_view::npos;
    for (std::size_t i = 0; i + close.size() <= rest.size(); ++i) {
        if (rest[i] == '\r' || rest[i] == '\n')
            break;
        if (startsWithNoCase(rest.substr(i), close)) {
            labelEnd = i;
            break;
        }
    }
    if (labelEnd == std::string_view::npos)
        return std::nullopt;
    Token t;
    t.kind = Token::Kind::Link;
    t.raw = text.substr(0, labelStart + labelEnd + close.size());
    t.address = std::string(href->value);
    t.label = std::string(rest.substr(0, labelEnd));
    return t;
}

// "&lt;img src='..' border='3'&gt;", also with Width and Height.
std::optional<Token> parsePicture(std::string_view text)
{
    constexpr std::string_view open = "&lt;img";
    if (!startsWithNoCase(text, open))
        return std::nullopt;
    std::vector<Attribute> attributes;
    const auto length = parseAttributes(text.substr(open.size()), attributes);
    if (!length)
        return std::nullopt;
    Token t;
    t.kind = Token::Kind::Picture;
    t.raw = text.substr(0, open.size() + *length);
    for (const Attribute &a : attributes) {
        if (a.name == "src" && isSafeAddress(a.value, false))
            t.address = std::string(a.value);
        else if (a.name == "width" && allDigits(a.value, 4))
            t.width = std::string(a.value);
        else if (a.name == "height" && allDigits(a.value, 4))
            t.height = std::string(a.value);
        else if (a.name == "border" && allDigits(a.value, 2))
            t.border = std::string(a.value);
        else
            return std::nullopt;
    }
    if (t.address.empty())
        return std::nullopt;
    return t;
}

// "[word]", "[/word]", "&lt;word&gt;" or "&lt;/word&gt;" of a paired tag.
std::optional<Token> parsePairTag(std::string_view text)
{
    for (const TagSpelling &s : kTags) {
        const std::string_view start = s.escaped ? "&lt;" : "[";
        const std::string_view end = s.escaped ? "&gt;" : "]";
        for (const bool closing : {false, true}) {
            std::string spelled(start);
            if (closing)
                spelled += '/';
            spelled += s.word;
            spelled += end;
            if (startsWithNoCase(text, spelled)) {
                Token t;
                t.kind = closing ? Token::Kind::Close : Token::Kind::Open;
                t.tag = s.tag;
                t.raw = text.substr(0, spelled.size());
                return t;
            }
        }
    }
    return std::nullopt;
}

Token simpleToken(Token::Kind kind, std::string_view raw)
{
    Token t;
    t.kind = kind;
    t.raw = raw;
    return t;
}

std::vector<Token> tokenize(std::string_view body)
{
    std::vector<Token> tokens;
    std::size_t textStart = 0;
    auto flushText = [&](std::size_t end) {
        if (end > textStart)
            tokens.push_back(simpleToken(Token::Kind::Text, body.substr(textStart, end - textStart)));
    };
    std::size_t i = 0;
    while (i < body.size()) {
        const char c = body[i];
        std::optional<Token> token;
        if (c == '\r' || c == '\n') {
            const std::size_t length = (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ? 2 : 1;
            token = simpleToken(Token::Kind::Newline, body.substr(i, length));
        } else if (c == '[') {
            if (body.substr(i, 3) == "[*]")
                token = simpleToken(Token::Kind::Item, body.substr(i, 3));
            else
                token = parsePairTag(body.substr(i));
        } else if (c == '&') {
            const std::string_view rest = body.substr(i);
            token = parsePairTag(rest);
            if (!token)
                token = parseLink(rest);
            if (!token)
                token = parsePicture(rest);
        }
        if (!token) {
            ++i;
            continue;
        }
        flushText(i);
        i += token->raw.size();
        textStart = i;
        tokens.push_back(std::move(*token));
    }
    flushText(body.size());
    return tokens;
}

// Marks the opening and closing tags that form properly nested pairs. A
// closing tag pairs with the nearest open tag of its kind; tags opened
// inside that pair and not yet closed stay text, as do closing tags without
// a partner and tags nested deeper than kMaxNesting.
void matchPairs(std::vector<Token> &tokens)
{
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        Token &t = tokens[i];
        if (t.kind == Token::Kind::Open) {
            if (open.size() < kMaxNesting)
                open.push_back(i);
        } else if (t.kind == Token::Kind::Close) {
            for (std::size_t k = open.size(); k-- > 0;) {
                if (tokens[open[k]].tag == t.tag) {
                    tokens[open[k]].matched = true;
                    t.matched = true;
                    open.resize(k);
                    break;
                }
            }
        }
    }
}

class Writer {
public:
    explicit Writer(std::string &out) : m_out(out) {}

    void text(std::string_view raw)
    {
        content();
        m_out += htmlEscape(raw);
    }

    void newline()
    {
        if (m_afterBoundary)
            m_afterBoundary = false;
        else
            ++m_pendingBreaks;
    }

    void openInline(Tag tag)
    {
        content();
        m_out += openHtml(tag);
        m_inlines.push_back(tag);
    }

    void closeInline()
    {
        if (m_inlines.empty())
            return;
        if (m_frames.back().containerOpen)
            m_out += closeHtml(m_inlines.back());
        m_inlines.pop_back();
    }

    void openBlock(Tag tag)
    {
        boundary();
        closeContainer();
        m_out += '\n';
        m_out += openHtml(tag);
        m_frames.push_back({tag, false});
    }

    void closeBlock()
    {
        if (m_frames.size() <= 1)
            return;
        boundary();
        closeContainer();
        m_out += closeHtml(m_frames.back().tag);
        m_frames.pop_back();
    }

    bool inList() const { return m_frames.back().tag == Tag::List && m_frames.size() > 1; }

    void item()
    {
        boundary();
        closeContainer();
        openContainer();
    }

    void link(const Token &t)
    {
        content();
        appendLinkTo(m_out, t.address, t.label.empty() ? t.address : t.label);
    }

    void picture(const Token &t)
    {
        content();
        std::string attributes;
        if (!t.width.empty())
            attributes += " WIDTH=" + t.width;
        if (!t.height.empty())
            attributes += " HEIGHT=" + t.height;
        if (!t.border.empty())
            attributes += " BORDER=" + t.border;
        appendImage(m_out, t.address, attributes);
    }

    // Closes what the body left open and reopens the page's paragraph.
    void finish()
    {
        m_pendingBreaks = 0;
        while (!m_inlines.empty())
            closeInline();
        while (m_frames.size() > 1)
            closeBlock();
        if (!m_frames.back().containerOpen) {
            m_pendingBreaks = 0;
            openContainer();
        }
    }

private:
    struct Frame {
        Tag tag;              // Center or List; the outermost frame is the page's paragraph
        bool containerOpen;   // its paragraph, FONT or list item is open
    };

    void openContainer()
    {
        Frame &f = m_frames.back();
        m_out += '\n';
        if (m_frames.size() == 1)
            m_out += "<P>";
        else if (f.tag == Tag::List)
            m_out += "<LI>";
        m_out += "<FONT face=Arial>";
        for (const Tag t : m_inlines)
            m_out += openHtml(t);
        f.containerOpen = true;
    }

    void closeContainer()
    {
        Frame &f = m_frames.back();
        if (!f.containerOpen)
            return;
        for (auto it = m_inlines.rbegin(); it != m_inlines.rend(); ++it)
            m_out += closeHtml(*it);
        m_out += "</FONT>";
        if (m_frames.size() == 1)
            m_out += "</P>";
        else if (f.tag == Tag::List)
            m_out += "</LI>";
        f.containerOpen = false;
    }

    // Something visible follows: open the container and write the line
    // breaks that came before it.
    void content()
    {
        m_afterBoundary = false;
        if (!m_frames.back().containerOpen)
            openContainer();
        for (; m_pendingBreaks > 0; --m_pendingBreaks)
            m_out += "<BR>\n";
    }

    // A block starts or ends, or a list item: it ends the line by itself, so
    // one line break next to it is not written.
    void boundary()
    {
        if (m_pendingBreaks > 1 && m_frames.back().containerOpen) {
            for (; m_pendingBreaks > 1; --m_pendingBreaks)
                m_out += "<BR>\n";
        }
        m_pendingBreaks = 0;
        m_afterBoundary = true;
    }

    std::string &m_out;
    std::vector<Frame> m_frames{{Tag::Center, true}};
    std::vector<Tag> m_inlines;
    int m_pendingBreaks = 0;
    bool m_afterBoundary = false;
};

} // namespace

bool isSafeAddress(std::string_view address, bool allowFtp)
{
    if (address.size() > kMaxAddress)
        return false;
    std::size_t schemeLength = 0;
    if (startsWithNoCase(address, "http://"))
        schemeLength = 7;
    else if (startsWithNoCase(address, "https://"))
        schemeLength = 8;
    else if (allowFtp && startsWithNoCase(address, "ftp://"))
        schemeLength = 6;
    else
        return false;
    if (address.size() == schemeLength || address[schemeLength] == '/')
        return false;
    for (const char ch : address) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F)
            return false;
        if (std::string_view("\"'<>\\^`{|}").find(ch) != std::string_view::npos)
            return false;
    }
    return true;
}

std::string renderMarkup(std::string_view body)
{
    std::vector<Token> tokens = tokenize(body);
    matchPairs(tokens);

    std::string out;
    out.reserve(body.size() + body.size() / 4);
    Writer w(out);
    for (const Token &t : tokens) {
        switch (t.kind) {
        case Token::Kind::Text:
            w.text(t.raw);
            break;
        case Token::Kind::Newline:
            w.newline();
            break;
        case Token::Kind::Open:
            if (!t.matched)
                w.text(t.raw);
            else if (isBlock(t.tag))
                w.openBlock(t.tag);
            else
                w.openInline(t.tag);
            break;
        case Token::Kind::Close:
            if (!t.matched)
                w.text(t.raw);
            else if (isBlock(t.tag))
                w.closeBlock();
            else
                w.closeInline();
            break;
        case Token::Kind::Item:
            if (w.inList())
                w.item();
            else
                w.text(t.raw);
            break;
        case Token::Kind::Link:
            w.link(t);
            break;
        case Token::Kind::Picture:
            w.picture(t);
            break;
        }
    }
    w.finish();
    return out;
}

} // namespace forumsim
