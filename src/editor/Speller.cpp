#include "editor/Speller.h"

#include "state/FileAccess.h"
#include "state/TextFile.h"
#include "state/WorkFolder.h"

#include <QDir>
#include <QFileInfo>

#include <hunspell.hxx>

#include <algorithm>

namespace tarnvik::spelling {

namespace {
// Checked words kept; past this many the record starts anew.
constexpr qsizetype kMaxVerdicts = 200'000;
} // namespace

QStringList dictionaryFolders()
{
    const QString fromEnvironment = qEnvironmentVariable("DICPATH");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment.split(QDir::listSeparator(), Qt::SkipEmptyParts);
    return {QStringLiteral("/usr/share/hunspell"), QStringLiteral("/usr/local/share/hunspell"),
            QStringLiteral("/usr/share/myspell"), QStringLiteral("/usr/share/myspell/dicts")};
}

DictionaryFiles findGermanDictionary(const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QDir dir(folder);
        const QString aff = dir.filePath(QStringLiteral("de_DE.aff"));
        const QString dic = dir.filePath(QStringLiteral("de_DE.dic"));
        if (QFileInfo(aff).isFile() && QFileInfo(dic).isFile())
            return {aff, dic};
    }
    return {};
}

QString userWordListPath()
{
    const QString folder = userDataFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("Eigene-Woerter.txt");
}

bool isListWord(const QString &word)
{
    if (word.isEmpty() || word.size() > kMaxWordLength || word.startsWith(QLatin1Char('#')))
        return false;
    return std::none_of(word.cbegin(), word.cend(), [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; });
}

namespace {
QStringList wordsOf(const QByteArray &bytes)
{
    QStringList words;
    for (const QString &line : splitLines(QString::fromUtf8(bytes))) {
        QString word = line.trimmed();
        if (word.startsWith(QChar(0xFEFF)))
            word.remove(0, 1);
        if (isListWord(word))
            words << word;
    }
    return words;
}
} // namespace

QStringList readWordList(const QString &fileName)
{
    QByteArray bytes;
    QString error;
    if (!QFileInfo(fileName).isFile() || !files::readBounded(fileName, kMaxListBytes, QString(), bytes, error))
        return {};
    return wordsOf(bytes);
}

bool appendToWordList(const QString &fileName, const QString &word, QString &error)
{
    if (fileName.isEmpty()) {
        error = QStringLiteral("Es gibt keinen Ordner für die eigene Wortliste");
        return false;
    }
    QByteArray bytes;
    if (QFileInfo::exists(fileName)
        && !files::readBounded(fileName, kMaxListBytes, QStringLiteral("Die Wortliste ist zu groß."), bytes, error))
        return false;
    if (wordsOf(bytes).contains(word))
        return true;
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    bytes += word.toUtf8() + '\n';
    if (bytes.size() > kMaxListBytes) {
        error = files::cannotCreate(fileName, QStringLiteral("Die Wortliste ist voll."));
        return false;
    }
    return files::writeAtomically(fileName, bytes, error);
}

std::unique_ptr<Speller> Speller::load(const DictionaryFiles &files, const QStringList &wordLists)
{
    if (!files.isValid())
        return nullptr;
    std::unique_ptr<Speller> speller(new Speller);
    speller->m_hunspell = std::make_unique<Hunspell>(QFile::encodeName(files.aff).constData(),
                                                     QFile::encodeName(files.dic).constData());
    const QByteArray encoding = QByteArray::fromStdString(speller->m_hunspell->get_dict_encoding());
    speller->m_encoder = QStringEncoder(encoding.constData());
    speller->m_decoder = QStringDecoder(encoding.constData());
    // A German dictionary that does not know "und" did not load.
    if (!speller->m_encoder.isValid() || !speller->m_decoder.isValid() || !speller->spell(QStringLiteral("und")))
        return nullptr;
    for (const QString &list : wordLists) {
        for (const QString &word : readWordList(list))
            speller->addWord(word);
    }
    return speller;
}

Speller::~Speller() = default;

std::optional<QByteArray> Speller::encoded(const QString &word)
{
    m_encoder.resetState();
    QByteArray bytes = m_encoder.encode(word);
    if (m_encoder.hasError())
        return std::nullopt;
    return bytes;
}

bool Speller::spell(const QString &word)
{
    const std::optional<QByteArray> bytes = encoded(word);
    // A word the dictionary's letters cannot write is none it could know:
    // a foreign name, not a slip.
    return !bytes || m_hunspell->spell(bytes->toStdString());
}

std::optional<bool> Speller::known(const QString &word, bool dotAfter) const
{
    const auto found = m_verdicts.constFind(dotAfter ? word + QLatin1Char('.') : word);
    if (found == m_verdicts.cend())
        return std::nullopt;
    return *found;
}

bool Speller::check(const QString &word, bool dotAfter)
{
    if (const std::optional<bool> verdict = known(word, dotAfter))
        return *verdict;
    const bool right = spell(word) || (dotAfter && spell(word + QLatin1Char('.')));
    if (m_verdicts.size() >= kMaxVerdicts)
        m_verdicts.clear();
    m_verdicts.insert(dotAfter ? word + QLatin1Char('.') : word, right);
    return right;
}

QStringList Speller::suggestions(const QString &word, int count)
{
    const std::optional<QByteArray> bytes = encoded(word);
    if (!bytes)
        return {};
    QStringList result;
    for (const std::string &suggestion : m_hunspell->suggest(bytes->toStdString())) {
        if (result.size() >= count)
            break;
        m_decoder.resetState();
        result << m_decoder.decode(QByteArrayView(suggestion.data(), qsizetype(suggestion.size())));
    }
    return result;
}

void Speller::addWord(const QString &word)
{
    const std::optional<QByteArray> bytes = encoded(word);
    if (!bytes)
        return;
    m_hunspell->add(bytes->toStdString());
    // Its forms are those its last part has: the longest ending of it that
    // the dictionary knows tells which endings to add ("Oberfräse" ends in
    // "Fräse", and "Fräsen" is known, so "Oberfräsen" is added).
    const bool capital = word.front().isUpper();
    for (qsizetype i = 1; i + 3 <= word.size(); ++i) {
        QString part = word.mid(i);
        if (capital)
            part[0] = part[0].toUpper();
        if (!spell(part))
            continue;
        for (const char *ending : {"n", "en", "s", "es", "e", "er", "ern", "em", "nen"}) {
            const QString form = word + QLatin1String(ending);
            if (spell(part + QLatin1String(ending)) && !spell(form)) {
                if (const std::optional<QByteArray> formBytes = encoded(form))
                    m_hunspell->add(formBytes->toStdString());
            }
        }
        break;
    }
    // The words found wrong until now are looked up again: they may be
    // forms of this one. They are few, and the underlines stay as they are.
    for (auto it = m_verdicts.begin(); it != m_verdicts.end(); ++it) {
        if (!it.value()) {
            const bool dotAfter = it.key().endsWith(QLatin1Char('.'));
            it.value() = spell(dotAfter ? it.key().chopped(1) : it.key()) || (dotAfter && spell(it.key()));
        }
    }
}

} // namespace tarnvik::spelling
