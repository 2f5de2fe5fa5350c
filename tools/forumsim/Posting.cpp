#include "Posting.h"

#include "Markup.h"
#include "Text.h"

#include <ctime>
#include <filesystem>
#include <optional>
#include <vector>

namespace forumsim {

namespace {

constexpr std::size_t kMaxFields = 64;

// What the form carries once it has been checked.
struct PostForm {
    int followup = 0;
    std::string name;        // trimmed; a member's name as registered
    std::string site;
    std::string email, subject, body, url, urlTitle, imageUrl, password;
    bool notify = false;
    bool preview = false;
};

constexpr std::string_view kNotStored = "Der Beitrag konnte nicht dauerhaft gespeichert werden und wurde nicht "
                                        "veröffentlicht. Bitte versuchen Sie es später noch einmal.";

struct Failure {
    int status;
    std::string message;
};

std::string inQuotes(std::string_view text)
{
    return "\u201E" + std::string(text) + "\u201C";
}

// Checks a one-line field: valid UTF-8 was checked before; no control
// characters, at most `maxChars` characters.
std::optional<Failure> checkLine(std::string_view value, std::string_view label, std::size_t maxChars)
{
    if (hasControlCharacters(value, false))
        return Failure{400, std::string(label) + " enthält unzulässige Steuerzeichen."};
    if (codePointCount(value) > maxChars)
        return Failure{400, std::string(label) + " ist zu lang (höchstens " + std::to_string(maxChars) + " Zeichen)."};
    return std::nullopt;
}

std::optional<Failure> readForm(std::string_view contentType, std::string_view body, PostForm &form)
{
    if (mediaType(contentType) != "application/x-www-form-urlencoded")
        return Failure{415, "Das Formular kam in einer unbekannten Form an; erwartet wird "
                            "application/x-www-form-urlencoded."};
    const auto fields = parseUrlEncoded(body, kMaxFields);
    if (!fields)
        return Failure{400, "Das Formular ist fehlerhaft kodiert."};

    static constexpr std::string_view required[] = {"followup", "name", "site", "email", "subject",
                                                    "body", "password", "action"};
    for (const std::string_view name : required) {
        if (!findField(*fields, name))
            return Failure{400, "Im Formular fehlt das Feld " + inQuotes(name) + "."};
    }
    for (const Field &f : *fields) {
        if (!isValidUtf8(f.name) || !isValidUtf8(f.value))
            return Failure{400, "Der Beitrag enthält Zeichen, die nicht gültig UTF-8-kodiert sind."};
    }

    if (fieldText(*fields, "action") != "post")
        return Failure{400, "Das Formular verlangt eine unbekannte Aktion."};
    const auto followup = parseDecimal(trimmed(fieldText(*fields, "followup")));
    if (!followup)
        return Failure{400, "Die Nummer des Beitrags, auf den Sie antworten, ist keine Zahl."};
    form.followup = *followup;

    form.site = std::string(trimmed(fieldText(*fields, "site")));
    form.name = std::string(trimmed(fieldText(*fields, "name")));
    if (form.name.empty())
        return Failure{400, "Bitte geben Sie Ihren Namen an."};
    if (auto f = checkLine(form.name, "Der Name", kMaxNameChars))
        return f;

    form.email = std::string(trimmed(fieldText(*fields, "email")));
    if (auto f = checkLine(form.email, "Die E-Mail-Adresse", kMaxEmailChars))
        return f;

    form.subject = std::string(trimmed(fieldText(*fields, "subject")));
    if (form.subject.empty())
        return Failure{400, "Bitte geben Sie einen Betreff an."};
    if (auto f = checkLine(form.subject, "Der Betreff", kMaxSubjectChars))
        return f;

    form.body = fieldText(*fields, "body");
    if (form.body.size() > kMaxBodyBytes)
        return Failure{413, "Der Text ist zu lang: " + std::to_string(form.body.size()) + " Bytes, erlaubt sind "
                                + std::to_string(kMaxBodyBytes) + " (64 KiB)."};
    if (hasControlCharacters(form.body, true))
        return Failure{400, "Der Text enthält unzulässige Steuerzeichen."};

    form.url = std::string(trimmed(fieldText(*fields, "url")));
    if (!form.url.empty() && !isSafeAddress(form.url, true))
        return Failure{400, "Die Link-Adresse ist ungültig; erlaubt sind http-, https- und ftp-Adressen."};
    form.urlTitle = std::string(trimmed(fieldText(*fields, "url_title")));
    if (auto f = checkLine(form.urlTitle, "Der Link-Titel", kMaxLinkTitleChars))
        return f;
    form.imageUrl = std::string(trimmed(fieldText(*fields, "image_url")));
    if (!form.imageUrl.empty() && !isSafeAddress(form.imageUrl, false))
        return Failure{400, "Die Bild-Adresse ist ungültig; erlaubt sind http- und https-Adressen."};

    form.password = fieldText(*fields, "password");
    if (form.password.size() > 200)
        return Failure{400, "Das Passwort ist zu lang."};
    form.notify = !fieldText(*fields, "notify").empty();
    form.preview = !fieldText(*fields, "preview").empty();
    return std::nullopt;
}

MessageData messageOf(const PostForm &form, Timestamp time)
{
    MessageData m;
    m.subject = form.subject;
    m.author = form.name;
    m.time = time;
    m.posted = true;
    m.markup = form.body;
    m.email = form.email;
    m.linkUrl = form.url;
    m.linkTitle = form.urlTitle;
    m.imageUrl = form.imageUrl;
    return m;
}

void appendHidden(std::string &out, std::string_view name, std::string_view value)
{
    out += "<INPUT TYPE=hidden NAME=\"";
    out += name;
    out += "\" VALUE=\"";
    out += attributeEscape(value);
    out += "\">\n";
}

std::string previewPage(std::string_view sectionWord, std::string_view siteWord, const PostForm &form,
                        const MessageData &m, const Message *parent)
{
    std::string out = pageStart("Vorschau: " + form.subject);
    out += "<P align=center><SMALL>Vorschau: So erscheint Ihr Beitrag im Forum. Er ist noch nicht "
           "veröffentlicht.</SMALL></P>\n";
    appendTitleLine(out, m.subject);
    appendWrittenBy(out, m);
    if (parent) {
        out += "<P align=center><SMALL>Antwort auf: ";
        appendLink(out, messagePath(sectionWord, parent->number), parent->subject);
        out += "</SMALL></P>\n";
    }
    out += "<P>";
    appendMessageText(out, m);
    out += "</P>\n<HR>\n";

    // The hidden copies come first, in the form's order, so that the
    // publishing button follows right after "Zurück" (elements 12 and 13).
    out += "<FORM METHOD=POST ACTION=\"";
    out += sectionPath(sectionWord);
    out += "\" ACCEPT-CHARSET=\"UTF-8\">\n";
    appendHidden(out, "followup", std::to_string(form.followup));
    appendHidden(out, "name", form.name);
    appendHidden(out, "site", siteWord);
    appendHidden(out, "email", form.email);
    appendHidden(out, "subject", form.subject);
    appendHidden(out, "body", form.body);
    appendHidden(out, "url", form.url);
    appendHidden(out, "url_title", form.urlTitle);
    appendHidden(out, "image_url", form.imageUrl);
    appendHidden(out, "password", form.password);
    appendHidden(out, "action", "post");
    appendHidden(out, "notify", form.notify ? "on" : "");
    out += "<P align=center><INPUT TYPE=button VALUE=\"Zurück\" onclick=\"history.back()\"> "
           "<INPUT TYPE=submit NAME=\"Post\" VALUE=\"Beitrag veröffentlichen\"></P>\n"
           "</FORM>\n";
    out += kPageEnd;
    return out;
}

// A published post as posts.log keeps it, and back.
Record recordOf(int number, std::string_view sectionWord, int parent, const MessageData &m)
{
    return {{"kind", "post"},
            {"number", std::to_string(number)},
            {"section", std::string(sectionWord)},
            {"parent", std::to_string(parent)},
            {"time", std::to_string(m.time)},
            {"name", m.author},
            {"email", m.email},
            {"subject", m.subject},
            {"body", m.markup},
            {"url", m.linkUrl},
            {"url_title", m.linkTitle},
            {"image_url", m.imageUrl}};
}

// The message of a record that recordOf wrote; number, section and parent
// are left to the caller.
MessageData messageOfRecord(const Record &r)
{
    MessageData m;
    m.subject = fieldText(r, "subject");
    m.author = fieldText(r, "name");
    m.time = parseInteger(fieldText(r, "time")).value_or(0);
    m.posted = true;
    m.markup = fieldText(r, "body");
    m.email = fieldText(r, "email");
    m.linkUrl = fieldText(r, "url");
    m.linkTitle = fieldText(r, "url_title");
    m.imageUrl = fieldText(r, "image_url");
    return m;
}

} // namespace

PostingDesk::PostingDesk(ForumStore &store, const Accounts &accounts, std::string siteWord)
    : m_store(store), m_accounts(accounts), m_siteWord(std::move(siteWord))
{
}

Reply PostingDesk::errorReply(int status, std::string_view message, std::string_view sectionWord)
{
    std::string out = pageStart("Fehler beim Speichern");
    out += "<H1 align=center>Fehler beim Speichern</H1>\n<P align=center>";
    out += htmlEscape(message);
    out += "</P>\n<P align=center><A HREF=\"javascript:history.back()\">Zur Eingabe</A>";
    if (!sectionWord.empty()) {
        out += " | ";
        appendLink(out, sectionPath(sectionWord), "Zur Übersicht");
    }
    out += "</P>\n";
    out += kPageEnd;
    return htmlReply(status, std::move(out));
}

bool PostingDesk::openArchive(const std::string &dataDir, std::ostream &errors, std::string &error)
{
    const std::string path = (std::filesystem::path(dataDir) / "posts.log").string();
    std::size_t restored = 0;
    readRecordLog(path, [&](const Record &r) {
        const auto number = parseDecimal(fieldText(r, "number"));
        const auto parent = parseDecimal(fieldText(r, "parent"));
        MessageData m = messageOfRecord(r);
        const std::string section = fieldText(r, "section");
        if (fieldText(r, "kind") != "post" || !number || *number == 0 || !parent || m.subject.empty()
            || !isValidUtf8(m.subject) || !isValidUtf8(m.author) || !isValidUtf8(m.markup)
            || m_store.addMessage(section, *parent, std::move(m), *number) == 0) {
            errors << "tarnvik-forumsim: " << path << ": skipped post " << fieldText(r, "number")
                   << " (its section, thread or number does not fit)\n";
            return;
        }
        ++restored;
    }, errors);
    if (restored > 0)
        errors << "tarnvik-forumsim: " << restored << " published posts restored from " << path << "\n";
    return m_log.open(path, error);
}

Reply PostingDesk::handlePost(std::string_view sectionWord, std::string_view contentType, std::string_view body)
{
    PostForm form;
    if (auto failure = readForm(contentType, body, form))
        return errorReply(failure->status, failure->message, sectionWord);
    // The template's hidden field names the forum the form was made for.
    if (form.site != m_siteWord)
        return errorReply(400, "Das Formular gehört nicht zu diesem Forum.", sectionWord);
    if (const Account *account = m_accounts.find(form.name)) {
        if (!Accounts::passwordMatches(*account, form.password))
            return errorReply(403, "Der Name " + inQuotes(account->name)
                                       + " ist registriert, und das Passwort stimmt nicht.", sectionWord);
        form.name = account->name;
    }

    auto unknownThread = [&] {
        return errorReply(404, "Den Beitrag Nr. " + std::to_string(form.followup)
                                   + ", auf den Sie antworten, gibt es in diesem Forum nicht.", sectionWord);
    };
    MessageData m = messageOf(form, localNow());
    if (form.preview) {
        const auto lock = m_store.readLock();
        const Message *parent = nullptr;
        if (form.followup != 0) {
            parent = m_store.message(form.followup);
            const Section *section = m_store.section(sectionWord);
            if (!parent || !section || &m_store.sections().at(std::size_t(parent->section)) != section)
                return unknownThread();
        }
        return htmlReply(200, previewPage(sectionWord, m_siteWord, form, m, parent));
    }

    if (m_fault.status != 0)
        return errorReply(m_fault.status, kNotStored, sectionWord);
    if (!m_fault.redirect.empty())
        return redirectReply(303, m_fault.redirect);

    const std::lock_guard publishing(m_publishMutex);
    // The store takes the message; with a log it takes a copy, and the log
    // writes the message under the number the store gave it.
    const bool logged = m_log.isOpen();
    const int number = m_store.addMessage(sectionWord, form.followup, logged ? m : std::move(m));
    if (number == 0)
        return unknownThread();
    if (logged && !m_log.append(recordOf(number, sectionWord, form.followup, m))) {
        m_store.removeMessage(number);
        return errorReply(500, kNotStored, sectionWord);
    }
    return savedReply("Beitrag gespeichert", "Ihr Beitrag ist veröffentlicht", messagePath(sectionWord, number),
                      "Beitrag Nr. " + std::to_string(number));
}

} // namespace forumsim
