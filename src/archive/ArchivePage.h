#pragma once

#include "state/Endpoints.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// What the archive keeps of a thread, read from the markup of a page that
// shows it whole (or from an export's lines of it). Only text comes out:
// markup, scripts and styles of the page stay behind; every size is bounded.
namespace tarnvik::archive {

struct ArchivedPicture {
    QString address;   // http or https; empty when only the local copy is known
    QString localFile; // the export's copy; empty when there is none
};

struct ArchivedMessage {
    // Identity inside its thread: the same message read again (or from an
    // export) gets the same key, so it is never stored twice.
    QString key;
    qint64 number = 0; // the forum's message number; 0 when the page shows none
    QString title;
    QString author;
    QDateTime posted; // invalid when the page's date could not be read
    QString text;     // line breaks kept
    QList<ArchivedPicture> pictures;
};

struct ArchivedThread {
    ForumKind section = Forums::None;
    qint32 number = 0; // the thread number of its address
    QString title;
    QString address;   // the live thread
    bool exported = false;
    QList<ArchivedMessage> messages;
};

// A picture the export saved: its address and the local file.
struct LocalPicture {
    QUrl address;
    QString file;
};

// Bounds for what a page may bring in.
constexpr qsizetype kMaxPageChars = 32 * 1024 * 1024;
constexpr int kMaxMessages = 20000;
constexpr qsizetype kMaxTextChars = 100000;
constexpr qsizetype kMaxTitleChars = 300;
constexpr qsizetype kMaxAuthorChars = 120;
constexpr int kMaxPicturesPerMessage = 100;
constexpr qsizetype kMaxAddressChars = 2048;

// The thread shown on a whole-thread page at `address` ("…/read/N/thread#N")
// from the page's body markup. No value when the address names no thread or
// the page shows no message.
std::optional<ArchivedThread> readThreadPage(const QString &address, const QString &body);

// The thread of an export: the lines it cut out of the page at `page`, whose
// pictures point at the local files in `pictures` (in page order). Files
// that do not exist are left out.
std::optional<ArchivedThread> readExportedThread(const QUrl &page, const QStringList &lines,
                                                 const QList<LocalPicture> &pictures);

// "Geschrieben von NAME am 3. März 2021 um 12:34:56" (or "03.03.2021, 12:34").
struct Byline {
    QString author;
    QString dateText;
    QDateTime posted;
};
std::optional<Byline> readByline(const QString &text);

// The name of a section as the forum shows it; empty for none.
QString sectionName(ForumKind section);
// The live address of a whole thread on the configured forum server.
QString liveThreadAddress(ForumKind section, qint32 number);

} // namespace tarnvik::archive
