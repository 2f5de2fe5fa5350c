#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Reading the forum's pages without the browser engine, with libxml2's HTML
// parser. Messages are found by their addresses (".../read/N") and, on index
// and single-message pages, by their place in the nested lists of a thread's
// tree. Tags and attributes may be written in capitals or small letters,
// quoted or not; the page may come in UTF-8 or Windows-1252.
namespace tarnvik::watch {

// The longest subject, author, time or title kept from a page (or read back).
inline constexpr qsizetype kMaxTextLength = 300;

struct PageMessage {
    qint32 number = 0;
    qint32 parent = 0; // 0 for a thread's first message and where the page does not tell
    QString subject;
    QString author;
    QString time; // as the page writes it
    bool operator==(const PageMessage &) const = default;
};

// A thread as a page shows it: its first message, then its answers in page order.
struct PageThread {
    qint32 root = 0;
    QList<PageMessage> messages;
    bool contains(qint32 number) const;
};

struct ListedThreads {
    QList<PageThread> threads;
    int lastPage = 0; // the highest index page the page links to ("/page/N"); 0 when none
};

// The threads of a page that shows them as nested lists: an index page, or
// the tree on a single message's page.
ListedThreads readThreadLists(const QByteArray &html, const QByteArray &encoding = {});

// The messages of a whole-thread page in page order: every link to a single
// message outside the quoted texts, with the author and time of the
// "Geschrieben von … am …" line before it.
QList<PageMessage> readWholeThread(const QByteArray &html, const QByteArray &encoding = {});

// The encoding to read a page in: the charset the server names (ISO-8859-1
// and ASCII read as Windows-1252, as browsers do), else UTF-8 when the bytes
// are valid UTF-8, else Windows-1252.
QByteArray pageEncoding(const QByteArray &contentType, const QByteArray &html);

// What a link or page address says: the message number after "/read/" (0
// when there is none) and whether it is the whole-thread page ("/thread"
// follows the number).
struct MessageLink {
    qint32 number = 0;
    bool wholeThread = false;
};
MessageLink messageLink(QStringView address);

// Prepares libxml2 once; call on the main thread before reading on others.
void prepareHtmlReading();

} // namespace tarnvik::watch
