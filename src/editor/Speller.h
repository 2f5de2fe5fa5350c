#pragma once

#include <QHash>
#include <QString>
#include <QStringConverter>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Hunspell;
class QObject;

// The German dictionary of the system (hunspell) with the workshop's word
// list and the user's own words beside it.
namespace tarnvik::spelling {

// The two files of a hunspell dictionary.
struct DictionaryFiles {
    QString aff;
    QString dic;
    bool isValid() const { return !aff.isEmpty(); }
};

// The folders searched for the German dictionary: those of DICPATH (as
// hunspell itself reads it, separated like PATH), else the system's.
QStringList dictionaryFolders();
// The German dictionary ("de_DE") in the first folder that holds one;
// invalid when there is none.
DictionaryFiles findGermanDictionary(const QStringList &folders = dictionaryFolders());

// The word list that ships with the program, and the user's own list in
// the per-user data folder (empty when there is none).
constexpr auto kWorkshopWordsName = "Werkstattwoerter.txt";
QString userWordListPath();

// A word list: one word a line, UTF-8; blank lines and lines starting with
// "#" are no words, nor is a line with blanks or of more than kMaxWordLength
// characters. A file past kMaxListBytes is not read. A missing file is an
// empty list.
constexpr qsizetype kMaxWordLength = 64;
constexpr qint64 kMaxListBytes = 1024 * 1024;
QStringList readWordList(const QString &fileName);
// Whether a text can be a word of a list.
bool isListWord(const QString &word);
// Appends a word to a list file at once, all or nothing (a word the list
// holds already is not added twice). On failure false, with the error text
// in `error`.
bool appendToWordList(const QString &fileName, const QString &word, QString &error);

class Speller
{
public:
    // Opens the dictionary and adds the words of the lists. Reads files and
    // takes a moment: not on the user-interface thread. Null when the
    // dictionary cannot be opened.
    static std::unique_ptr<Speller> load(const DictionaryFiles &files, const QStringList &wordLists);
    ~Speller();

    // Whether a word is spelt right; with `dotAfter`, also right when it is
    // known with its full stop ("bzw."). Results are kept, so a word is
    // looked up once.
    bool check(const QString &word, bool dotAfter = false);
    // The result of an earlier check, without looking the word up.
    std::optional<bool> known(const QString &word, bool dotAfter = false) const;
    // Up to `count` suggestions, the likeliest first. Takes up to a few
    // hundred milliseconds.
    QStringList suggestions(const QString &word, int count = 7);
    // Makes a word known for this run, with the endings that the longest
    // known last part of it takes ("Oberfräse" with those of "Fräse", so
    // "Oberfräsen" is known too).
    void addWord(const QString &word);

private:
    Speller() = default;
    std::optional<QByteArray> encoded(const QString &word);
    bool spell(const QString &word);

    std::unique_ptr<Hunspell> m_hunspell;
    QStringEncoder m_encoder;
    QStringDecoder m_decoder;
    QHash<QString, bool> m_verdicts;
};

// The speller of this run, loaded once off the user-interface thread with
// the German dictionary and the given word lists, and shared by every
// editor. `ready` runs on the user-interface thread, once, when it is
// there (null: no German dictionary), unless `receiver` is gone by then.
void requestSpeller(const QStringList &wordLists, QObject *receiver,
                    std::function<void(std::shared_ptr<Speller>)> ready);
// Forgets the loaded speller, so that the next request loads anew.
void forgetSpeller();

} // namespace tarnvik::spelling
