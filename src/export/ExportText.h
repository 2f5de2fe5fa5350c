#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// The text work of the thread export: the title proposal, cutting the
// messages out of a page's serialised body, pointing its pictures at local
// copies, and the bytes of the work file handed to the word processor.
namespace tarnvik {

// The document title proposed for a page title: a leading "Re: " goes, the
// text from "*MIT BILD*" or from the first "(" on goes, the first ":" and
// the first "," become blanks, and blanks and control characters at both
// ends go.
QString DocTitleProposal(const QString &pageTitle);
// Whether typing `text` into the title field is refused: the characters
// "#", "$", "(", ")", ",", "." and ":".
bool TitleKeyRefused(const QString &text);

// The address of the first picture tag ("<IMG SRC=", any case) in `line`:
// its value without the query part from the first "?" on, with the
// serialiser's "&amp;" and "&quot;" decoded. The value may be in double or
// single quotes or bare; an unclosed quote runs to the end of the line.
// Empty when the line shows no picture.
QString ExtractPictureAddress(const QString &line);
// The characters from the last "." of `address` to its end (".jpg"), the
// whole address when it holds no ".".
QString AddressExtension(const QString &address);
// The line up to and including its first double quote, `value`, and the
// rest from the second double quote on; ends with `value` when the line has
// one double quote, is returned unchanged when it has none.
QString ReplaceQuotedValue(const QString &line, const QString &value);

// A picture to fetch: the address and the local file it is saved as.
struct PictureDownload {
    QUrl address; // http or https only; empty when the picture cannot be fetched
    QString file; // absolute path inside the pictures folder
};

// What LocalizePicture works with over one export.
struct PictureState {
    QString title;          // names the picture files
    QString picturesFolder; // absolute, ends in a separator
    QUrl pageAddress;       // relative picture addresses are resolved against it
    int counter = 1;        // number of the next picture file
    bool picturesFound = false;
    QList<PictureDownload> downloads; // every picture, in page order
};

// The local file of picture `counter` of an export titled `title`: the
// title made a safe file name, "_", the counter with at least two digits,
// and the address's extension when it is a plain one ("Hobelbank_03.jpg").
QString PictureFileName(const QString &title, int counter, const QString &address);
// How the work file names a local picture: as a file URL.
QString PictureSource(const QString &localFile);

// Points every picture tag of `line` at a local file named by the state's
// title and counter, and records each as a download; true when the line
// showed a picture.
bool LocalizePicture(QString &line, PictureState &state);

// Where the extraction stopped.
enum class ExtractionEnd {
    Complete,
    NoBody,      // no "<BODY" line
    NoTitleLine, // no line holds the page title
    NoEndMarker, // the lines ran out before "Zurück zum Index" / "in diesem Thread"
};

struct Extraction {
    ExtractionEnd end = ExtractionEnd::NoBody;
    QStringList lines; // the work file's lines; empty unless complete
};

// Cuts the serialised body into lines at CR LF, LF or CR.
QStringList SplitBodyLines(const QString &body);

// One pass over the page's lines: the "<BODY" line, the line with the page
// title (as shown, or as the page escapes it), then the messages of a whole
// thread (`wholeThread`) or the one message of a single-message page with
// their pictures localised, and "</BODY></HTML>".
Extraction ExtractThread(const QStringList &source, const QString &pageTitle, bool wholeThread,
                         PictureState &pictures);

// A German sentence saying why a page could not be exported.
QString ExtractionFailureText(ExtractionEnd end, bool wholeThread);

// The work file's bytes: each line ended by CR LF; pure ASCII, every other
// character written as a numeric character reference ("&#228;"), so the
// word processor reads it back exactly whatever code page it assumes.
QByteArray EncodeWorkFile(const QStringList &lines);

} // namespace tarnvik
