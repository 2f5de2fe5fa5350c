#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// How the archive compares German text: both the stored text and what the
// user types are folded to one spelling before they meet, so that
// "Schraenke", "schranke" and "Schränke" are the same word, as are "Gruesse"
// and "Grüße" or "Strasse" and "Straße".
namespace tarnvik::archive {

// The folded form: lower case; ä, ö, ü become a, o, u, and so do ae, oe, ue
// (ue not after q); ß becomes ss; other accents go (é → e). Every run of
// characters that are neither letters nor digits becomes one blank, none at
// either end. The search indexes hold this form.
QString fold(QStringView text);

// The folded form with, for every folded character, the range of the text
// it came from, so that a hit found in the folded form can be marked in the
// text as it was written.
struct FoldedText {
    QString text;
    QList<qsizetype> from; // per folded character: first source index
    QList<qsizetype> to;   // per folded character: source index after it
};
FoldedText foldWithOrigin(QStringView text);

// One thing to look for: a word (found as the start of a longer word too)
// or, typed in double quotes, a phrase of whole words. `folded` holds its
// words in folded form, separated by one blank.
struct SearchTerm {
    QString folded;
    bool phrase = false;
    bool operator==(const SearchTerm &) const = default;
};

// What the user typed, cut into terms: quoted parts are phrases (an open
// quote runs to the end), the rest is split at blanks. A word that folds to
// several words ("Spalt-Keil") is looked for as those words in a row. At
// most kMaxTerms terms from the first kMaxQueryChars characters.
QList<SearchTerm> parseQuery(QStringView typed);
constexpr int kMaxTerms = 12;
constexpr qsizetype kMaxQueryChars = 300;

// The full-text query for the word index: every term must occur; words
// match as prefixes, phrases exactly. Empty for no terms.
QString wordQuery(const QList<SearchTerm> &terms);
// The query that finds the terms inside longer words ("holz" in
// "Eichenholz"): each term as a prefix or as any of `containing`, the
// archive's words that hold it (one list per term). Empty when a term is a
// phrase (meant as whole words) or shorter than kMinPart, or when no term
// has such words.
QString partQuery(const QList<SearchTerm> &terms, const QList<QStringList> &containing);
constexpr qsizetype kMinPart = 3;

// The distinct words of a folded text that may hold a part someone looks
// for: long enough, not overlong, letters only.
QStringList partWords(const QString &folded);
constexpr qsizetype kMaxPartWord = 40;

// A range of the text as written: [start, end).
struct Hit {
    qsizetype start = 0;
    qsizetype end = 0;
    bool operator==(const Hit &) const = default;
};

// Where the terms occur in `text`, in order, overlaps merged. Words match
// at the start of a word, or anywhere inside one with `insideWords`; a
// phrase must end where a word ends. At most kMaxHits.
QList<Hit> findHits(QStringView text, const QList<SearchTerm> &terms, bool insideWords);
constexpr int kMaxHits = 2000;

// A short piece of a text around its first hit, on one line, with the hits
// that fall inside it; "…" marks where it is cut.
struct Snippet {
    QString text;
    QList<Hit> hits; // relative to `text`
};
Snippet makeSnippet(QStringView text, const QList<Hit> &hits, qsizetype width = 180);

// `text` escaped for HTML, with each hit wrapped in `open` and `close`.
QString markedHtml(QStringView text, const QList<Hit> &hits, const QString &open, const QString &close);

} // namespace tarnvik::archive
