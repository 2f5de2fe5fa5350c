#include "editor/SpellHighlighter.h"

#include "editor/SpellWords.h"
#include "editor/Speller.h"

#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <climits>

namespace tarnvik::spelling {

namespace {

// The words of a block, kept with the text they were found in.
struct BlockWords : QTextBlockUserData {
    QString text;
    bool startsInCode = false;
    LineWords scan;
    // It was last shown with words not yet looked up.
    bool stale = false;
};

constexpr int kInCode = 1;

BlockWords *wordsOf(const QTextBlock &block)
{
    auto *data = static_cast<BlockWords *>(block.userData());
    const bool startsInCode = block.previous().userState() == kInCode;
    if (data && data->startsInCode == startsInCode && data->text.size() == block.length() - 1 && data->text == block.text())
        return data;
    if (!data) {
        data = new BlockWords;
        QTextBlock owner = block;
        owner.setUserData(data);
    }
    data->text = block.text();
    data->startsInCode = startsInCode;
    data->scan = scanLine(data->text, startsInCode);
    return data;
}

} // namespace

SpellHighlighter::SpellHighlighter(QTextDocument *document) : QSyntaxHighlighter(document)
{
    m_format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    m_format.setUnderlineColor(Qt::red);
    m_idle.setSingleShot(true);
    m_idle.setInterval(kIdleMs);
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_idle, &QTimer::timeout, this, &SpellHighlighter::runSlice);
    connect(&m_slice, &QTimer::timeout, this, &SpellHighlighter::runSlice);
    // Typing puts the lookups off until it pauses.
    connect(document, &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
        if (!m_inPass && (removed || added))
            restart();
    });
}

void SpellHighlighter::setSpeller(std::shared_ptr<Speller> speller)
{
    m_speller = std::move(speller);
    rehighlight();
    restart();
}

void SpellHighlighter::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    rehighlight();
    restart();
}

void SpellHighlighter::restart()
{
    m_checked = false;
    m_slice.stop();
    m_pass.invalidate();
    if (m_active && m_speller)
        m_idle.start();
}

void SpellHighlighter::highlightBlock(const QString &text)
{
    BlockWords *data = wordsOf(currentBlock());
    setCurrentBlockState(data->scan.inCode ? kInCode : 0);
    if (!m_active || !m_speller)
        return;
    bool pending = false;
    for (const Word &w : std::as_const(data->scan.words)) {
        const QString word = text.mid(w.start, w.length);
        if (m_ignored.contains(word))
            continue;
        const std::optional<bool> right = m_speller->known(word, w.dotAfter);
        if (!right)
            pending = true;
        else if (!*right)
            setFormat(int(w.start), int(w.length), m_format);
    }
    data->stale = pending;
    if (pending && !m_inPass && !m_idle.isActive() && !m_slice.isActive())
        restart();
}

void SpellHighlighter::runSlice()
{
    QElapsedTimer clock;
    clock.start();
    if (!m_active || !m_speller || !document())
        return;
    if (!m_pass.isValid())
        m_pass.start();
    QTextDocument *doc = document();
    const auto [first, last] = m_visibleRange ? m_visibleRange() : std::pair<int, int>(0, 0);
    // The visible part, then on to the end, then the part above it.
    const std::pair<int, int> parts[] = {{first, last + 1}, {last + 1, INT_MAX}, {0, first}};
    QList<QTextBlock> toShow;
    bool done = true;
    for (qsizetype part = 0; part < 3 && done; ++part) {
        const auto [from, to] = parts[part];
        for (QTextBlock block = doc->findBlock(from); block.isValid() && block.position() < to && done;
             block = block.next()) {
            BlockWords *data = wordsOf(block);
            bool complete = true;
            for (const Word &w : std::as_const(data->scan.words)) {
                const QString word = data->text.mid(w.start, w.length);
                if (m_ignored.contains(word) || m_speller->known(word, w.dotAfter))
                    continue;
                const int at = block.position() + int(w.start);
                if (at < from || at >= to || clock.elapsed() >= kSliceLookupMs) {
                    complete = false;
                    done = done && (at < from || at >= to);
                    continue;
                }
                m_speller->check(word, w.dotAfter);
            }
            // A block is shown when all its words are looked up, and the
            // visible part as soon as it is looked up, not only when the
            // paragraph it belongs to is.
            if (data->stale && (complete || (part == 0 && done)))
                toShow << block;
        }
    }
    m_inPass = true;
    for (const QTextBlock &block : std::as_const(toShow))
        rehighlightBlock(block);
    m_inPass = false;
    m_longestSliceMs = std::max(m_longestSliceMs, clock.nsecsElapsed() / 1e6);
    if (!done) {
        m_slice.start();
        return;
    }
    m_checked = true;
    m_lastPassMs = m_pass.nsecsElapsed() / 1e6;
    m_pass.invalidate();
    emit checked();
}

std::optional<SpellHighlighter::Flagged> SpellHighlighter::flaggedWordAt(int position) const
{
    if (!m_active || !m_speller || !document())
        return std::nullopt;
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid())
        return std::nullopt;
    const BlockWords *data = wordsOf(block);
    const qsizetype inBlock = position - block.position();
    for (const Word &w : data->scan.words) {
        if (inBlock < w.start || inBlock > w.start + w.length)
            continue;
        const QString word = data->text.mid(w.start, w.length);
        if (!m_ignored.contains(word) && m_speller->known(word, w.dotAfter) == false)
            return Flagged{block.position() + int(w.start), word};
    }
    return std::nullopt;
}

void SpellHighlighter::ignore(const QString &word)
{
    m_ignored.insert(word);
    rehighlightWord(word);
}

void SpellHighlighter::refreshWord(const QString &word)
{
    rehighlightWord(word);
    restart();
}

void SpellHighlighter::rehighlightWord(const QString &word)
{
    if (!document())
        return;
    m_inPass = true;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const BlockWords *data = wordsOf(block);
        const bool holds = std::any_of(data->scan.words.cbegin(), data->scan.words.cend(), [&](const Word &w) {
            return QStringView(data->text).sliced(w.start, w.length) == word;
        });
        if (holds)
            rehighlightBlock(block);
    }
    m_inPass = false;
}

} // namespace tarnvik::spelling
