#pragma once

// The forum's posting interface: the form that the client's template page
// submits to a section script, the preview page it answers with, and
// publishing, which stores the post (and, with a data folder, appends it to
// posts.log so that it survives a restart).
//
// Fields of the form, in the template's order: followup (thread number,
// "0" for a new thread), name, site, email, subject, body, url, url_title,
// image_url, password, action ("post"), notify, preview. With "preview" the
// answer is the preview page; without it the post is published and the
// answer is 303 See Other to the new message's page.

#include "Accounts.h"
#include "Pages.h"
#include "RecordLog.h"
#include "Store.h"

#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

namespace forumsim {

inline constexpr std::size_t kMaxBodyBytes = 64 * 1024;
inline constexpr std::size_t kMaxPostRequestBytes = 1024 * 1024;
inline constexpr std::size_t kMaxEmailChars = 100;
inline constexpr std::size_t kMaxSubjectChars = 150;
inline constexpr std::size_t kMaxLinkTitleChars = 150;

// How publishing fails on purpose, for the client's tests: an error status
// (as when the disk is full) or a redirect to another address. Either way
// nothing is stored.
struct PublishFault {
    int status = 0;           // 0: no error
    std::string redirect;     // empty: no redirect
};

class PostingDesk {
public:
    PostingDesk(ForumStore &store, const Accounts &accounts, std::string siteWord);

    void setPublishFault(PublishFault fault) { m_fault = std::move(fault); }

    // Replays DIR/posts.log into the store and opens it for appending.
    // Damaged records are skipped and reported on `errors`.
    bool openArchive(const std::string &dataDir, std::ostream &errors, std::string &error);

    // The answer to a form sent to section `sectionWord`'s script.
    Reply handlePost(std::string_view sectionWord, std::string_view contentType, std::string_view body);

    // The error page of the posting interface: "Fehler beim Speichern".
    static Reply errorReply(int status, std::string_view message, std::string_view sectionWord);

private:
    ForumStore &m_store;
    const Accounts &m_accounts;
    std::string m_siteWord;
    PublishFault m_fault;
    RecordLog m_log;
    std::mutex m_publishMutex;   // keeps the log in the order messages were added
};

} // namespace forumsim
