#include "Pages.h"

#include "Markup.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>

namespace forumsim {

namespace {

struct DateParts {
    int year;
    unsigned month, day;
    long hour, minute, second;
};

DateParts splitTime(Timestamp time)
{
    using namespace std::chrono;
    const sys_seconds tp{seconds{time}};
    const sys_days date = floor<days>(tp);
    const year_month_day ymd{date};
    const hh_mm_ss clock{tp - date};
    return {int(ymd.year()), unsigned(ymd.month()), unsigned(ymd.day()),
            long(clock.hours().count()), long(clock.minutes().count()),
            long(clock.seconds().count())};
}

} // namespace

std::string pageStart(std::string_view title)
{
    std::string out;
    out += "<HTML><HEAD><TITLE>";
    out += htmlEscape(title);
    out += "</TITLE>\n"
           "<META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
           "</HEAD>\n"
           "<BODY BGCOLOR=\"#FFFFF4\" TEXT=\"#000000\" LINK=\"#0000A0\" VLINK=\"#600060\">\n";
    return out;
}

void appendLink(std::string &out, std::string_view href, std::string_view text)
{
    out += "<A HREF=\"";
    out += href;   // built from section words and numbers only
    out += "\">";
    out += htmlEscape(text);
    out += "</A>";
}

void appendLinkTo(std::string &out, std::string_view address, std::string_view text)
{
    out += "<A HREF=\"";
    out += htmlEscape(address);
    out += "\" TARGET=\"_blank\">";
    out += htmlEscape(text);
    out += "</A>";
}

void appendImage(std::string &out, std::string_view address, std::string_view attributes)
{
    out += "<IMG SRC=\"";
    out += htmlEscape(address);
    out += '"';
    out += attributes;
    out += '>';
}

namespace {

// "Subject – Author, Date" as a link to the single message.
void appendTreeLine(std::string &out, std::string_view word, const Message &m)
{
    appendLink(out, messagePath(word, m.number), m.subject);
    out += " \u2013 ";
    out += htmlEscape(m.author);
    out += ", ";
    out += formatShortDate(m.time);
}

// The thread as nested lists: a message with answers keeps its <LI> open
// around the <UL> of its answers.
void appendTree(std::string &out, std::string_view word, const std::vector<TreeEntry> &tree)
{
    if (tree.empty())
        return;
    out += "<UL>\n";
    int depth = 0;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const TreeEntry &e = tree[i];
        if (i > 0) {
            if (e.depth > depth) {
                out += "\n<UL>\n";
            } else {
                out += "</LI>\n";
                for (int d = depth; d > e.depth; --d)
                    out += "</UL></LI>\n";
            }
        }
        depth = e.depth;
        out += "<LI>";
        appendTreeLine(out, word, *e.message);
    }
    out += "</LI>\n";
    for (int d = depth; d > 0; --d)
        out += "</UL></LI>\n";
    out += "</UL>\n";
}

} // namespace

// The text lines joined by <BR>, each on its own line of the page, so that a
// picture stands alone on its line. A posted message's markup is rendered
// here, at page time, from the body as it was typed.
void appendMessageText(std::string &out, const MessageData &m)
{
    out += "<FONT face=Arial>";
    if (m.posted) {
        out += renderMarkup(m.markup);
        if (!m.linkUrl.empty()) {
            out += "<BR>\n<BR>\n";
            appendLinkTo(out, m.linkUrl, m.linkTitle.empty() ? m.linkUrl : m.linkTitle);
        }
        if (!m.imageUrl.empty()) {
            out += "<BR>\n";
            appendImage(out, m.imageUrl);
        }
    }
    for (std::size_t i = 0; i < m.body.size(); ++i) {
        if (i > 0)
            out += "<BR>\n";
        const BodyLine &line = m.body[i];
        if (line.kind == BodyLine::Kind::Picture)
            appendImage(out, line.text);
        else
            out += htmlEscape(line.text);
    }
    out += "</FONT>";
}

// The big centred line a page's title stands in, the one the client reads
// the thread title from.
void appendTitleLine(std::string &out, const std::string &subject)
{
    out += "<P align=center><BIG><BIG><STRONG>";
    out += htmlEscape(subject);
    out += "</STRONG></BIG></BIG></P>\n";
}

void appendWrittenBy(std::string &out, const MessageData &m)
{
    out += "<P align=center><EM>Geschrieben von ";
    out += htmlEscape(m.author);
    out += " am ";
    out += formatLongDate(m.time);
    out += "</EM></P>\n";
}

namespace {

void appendBackToIndex(std::string &out, std::string_view word)
{
    out += "<P align=center>";
    appendLink(out, sectionPath(word), "Zurück zum Index");
    out += "</P>\n";
}

const Section &sectionOf(const ForumStore &store, const Message &m)
{
    return store.sections().at(static_cast<std::size_t>(m.section));
}

} // namespace

Reply savedReply(std::string_view title, std::string_view saved, std::string location, std::string_view linkText)
{
    std::string out = pageStart(title);
    out += "<P align=center>";
    out += saved;
    out += ": ";
    appendLink(out, location, linkText);
    out += "</P>\n";
    out += kPageEnd;
    Reply reply = htmlReply(303, std::move(out));
    reply.location = std::move(location);
    return reply;
}

Reply redirectReply(int status, std::string location)
{
    Reply reply = htmlReply(status, pageStart("Weitergeleitet") + std::string(kPageEnd));
    reply.location = std::move(location);
    return reply;
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string attributeEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
        case '\r': out += "&#13;"; break;
        case '\n': out += "&#10;"; break;
        case '\t': out += "&#9;"; break;
        default: out += htmlEscape(std::string_view(&c, 1));
        }
    }
    return out;
}

std::string formatShortDate(Timestamp time)
{
    const DateParts p = splitTime(time);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02u.%02u.%04d, %02ld:%02ld", p.day, p.month, p.year, p.hour,
                  p.minute);
    return buf;
}

std::string formatLongDate(Timestamp time)
{
    static constexpr std::array<const char *, 12> months = {
        "Januar", "Februar", "März", "April", "Mai", "Juni",
        "Juli", "August", "September", "Oktober", "November", "Dezember"};
    const DateParts p = splitTime(time);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%u. %s %04d um %02ld:%02ld:%02ld", p.day,
                  months.at((p.month + 11) % 12), p.year, p.hour, p.minute, p.second);
    return buf;
}

std::string sectionPath(std::string_view word)
{
    std::string out = "/cgi-bin/";
    out += word;
    out += "/webbbs_config.pl";
    return out;
}

std::string indexPagePath(std::string_view word, int page)
{
    return sectionPath(word) + "/page/" + std::to_string(page);
}

std::string messagePath(std::string_view word, int number)
{
    return sectionPath(word) + "/read/" + std::to_string(number);
}

std::string threadLink(std::string_view word, int root)
{
    const std::string n = std::to_string(root);
    return sectionPath(word) + "/read/" + n + "/thread#" + n;
}

int indexPageCount(const Section &section)
{
    const auto threads = static_cast<int>(section.threads.size());
    return std::max(1, (threads + kThreadsPerPage - 1) / kThreadsPerPage);
}

std::string renderStartPage(const ForumStore &store)
{
    std::string out = pageStart("Holzwerker-Treffpunkt");
    out += "<H1 align=center>Holzwerker-Treffpunkt</H1>\n"
           "<P align=center>Willkommen! Hier treffen sich Hobbyschreiner, Drechsler und alle, "
           "die gern mit Holz arbeiten.</P>\n"
           "<HR>\n<UL>\n";
    for (const Section &s : store.sections()) {
        out += "<LI>";
        appendLink(out, sectionPath(s.word), s.title);
        out += "</LI>\n";
    }
    out += "</UL>\n<HR>\n";
    out += kPageEnd;
    return out;
}

std::string renderFrameDemo(const ForumStore &store)
{
    const Section *forum = store.section("forum");
    const std::string word = forum ? forum->word : std::string("forum");
    std::string second = sectionPath(word);
    if (forum && !forum->threads.empty())
        second = messagePath(word, forum->threads.front());

    std::string out;
    out += "<HTML><HEAD><TITLE>Rahmenansicht</TITLE>\n"
           "<META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
           "</HEAD>\n"
           "<FRAMESET cols=\"40%,60%\">\n"
           "<FRAME name=index src=\"";
    out += sectionPath(word);
    out += "\">\n<FRAME name=beitrag src=\"";
    out += second;
    out += "\">\n"
           "<NOFRAMES><BODY>\n<P>Diese Seite verwendet Rahmen.</P>\n</BODY></NOFRAMES>\n"
           "</FRAMESET></HTML>\n";
    return out;
}

std::string renderIndexPage(const ForumStore &store, const Section &section, int page)
{
    const int pages = indexPageCount(section);
    page = std::clamp(page, 1, pages);
    const std::size_t total = section.threads.size();

    std::string out = pageStart(section.title);
    out += "<H1 align=center>";
    out += htmlEscape(section.title);
    out += "</H1>\n<P align=center>Seite ";
    out += std::to_string(page);
    out += " von ";
    out += std::to_string(pages);
    out += "</P>\n<HR>\n";

    const std::size_t first = static_cast<std::size_t>(page - 1) * kThreadsPerPage;
    if (first >= total) {
        out += "<P align=center>Noch keine Beiträge.</P>\n";
    } else {
        const std::size_t last = std::min(total, first + kThreadsPerPage);
        for (std::size_t i = first; i < last; ++i) {
            const int root = section.threads[i];
            appendTree(out, section.word, store.threadTree(root));
            out += "<P><SMALL>";
            appendLink(out, threadLink(section.word, root), "ganzer Thread");
            out += "</SMALL></P>\n";
        }
    }

    out += "<HR>\n<P align=center>";
    for (int p = 1; p <= pages; ++p) {
        if (p > 1)
            out += " | ";
        const bool current = p == page;
        if (current)
            out += "<STRONG>";
        appendLink(out, indexPagePath(section.word, p), "Seite " + std::to_string(p));
        if (current)
            out += "</STRONG>";
    }
    out += "</P>\n<P align=center>";
    appendLink(out, "/", "Zur Startseite");
    out += "</P>\n";
    out += kPageEnd;
    return out;
}

std::string renderMessagePage(const ForumStore &store, const Message &message)
{
    const Section &section = sectionOf(store, message);
    std::string out = pageStart(message.subject);
    appendTitleLine(out, message.subject);
    appendWrittenBy(out, message);
    out += "<P>";
    appendMessageText(out, message);
    out += "</P>\n<HR>\n<P><STRONG>Beiträge in diesem Thread:</STRONG></P>\n";
    appendTree(out, section.word, store.threadTree(message.root));
    out += "<P>";
    appendLink(out, threadLink(section.word, message.root), "ganzer Thread");
    out += "</P>\n";
    appendBackToIndex(out, section.word);
    out += kPageEnd;
    return out;
}

std::string renderThreadPage(const ForumStore &store, const Message &root)
{
    const Section &section = sectionOf(store, root);
    const std::vector<TreeEntry> tree = store.threadTree(root.number);

    std::string out = pageStart(root.subject + " \u2013 ganzer Thread");
    out.reserve(out.size() + tree.size() * 800);
    appendTitleLine(out, root.subject);
    out += "<P align=center>";
    out += std::to_string(tree.size());
    out += tree.size() == 1 ? " Beitrag" : " Beiträge";
    out += "</P>\n";
    for (const TreeEntry &e : tree) {
        const Message &m = *e.message;
        out += "<HR>\n<P align=center><STRONG><BIG>";
        out += htmlEscape(m.subject);
        out += "</BIG></STRONG></P>\n";
        appendWrittenBy(out, m);
        out += "<BLOCKQUOTE><P>";
        appendMessageText(out, m);
        out += "</P></BLOCKQUOTE>\n<P>";
        appendLink(out, messagePath(section.word, m.number), "Einzelansicht");
        out += "</P>\n";
    }
    out += "<HR>\n";
    appendBackToIndex(out, section.word);
    out += kPageEnd;
    return out;
}

// The error pages avoid the words that end a message for the client's
// export, so that exporting an error page finds nothing.
std::string renderMessageNotFound(const Section &section)
{
    std::string out = pageStart("Beitrag nicht gefunden");
    out += "<H1 align=center>Beitrag nicht gefunden</H1>\n"
           "<P align=center>Diesen Beitrag gibt es nicht oder nicht mehr.</P>\n<P align=center>";
    appendLink(out, sectionPath(section.word), "Zur Übersicht: " + section.title);
    out += "</P>\n";
    out += kPageEnd;
    return out;
}

std::string renderPageNotFound()
{
    std::string out = pageStart("Seite nicht gefunden");
    out += "<H1 align=center>Seite nicht gefunden</H1>\n"
           "<P align=center>Unter dieser Adresse gibt es keine Seite.</P>\n<P align=center>";
    appendLink(out, "/", "Zur Startseite");
    out += "</P>\n";
    out += kPageEnd;
    return out;
}

std::string renderMethodNotAllowed()
{
    return renderErrorPage(405);
}

std::string renderErrorPage(int status)
{
    std::string title;
    switch (status) {
    case 400: title = "Ungültige Anfrage"; break;
    case 404: return renderPageNotFound();
    case 405: title = "Methode nicht erlaubt"; break;
    case 413: title = "Anfrage zu groß"; break;
    case 414: title = "Adresse zu lang"; break;
    case 500: title = "Interner Fehler"; break;
    default: title = "Fehler " + std::to_string(status); break;
    }
    std::string out = pageStart(title);
    out += "<H1 align=center>";
    out += htmlEscape(title);
    out += "</H1>\n<P align=center>";
    appendLink(out, "/", "Zur Startseite");
    out += "</P>\n";
    out += kPageEnd;
    return out;
}

} // namespace forumsim
