#pragma once

#include <QElapsedTimer>
#include <QSet>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace tarnvik::spelling {

class Speller;

// Underlines the misspelt words of a document with a red wavy line. Words
// are looked up a moment after typing stops, in slices short enough that
// typing stays fluent, the visible part first; the underlines in between
// come from what is looked up already, so a keystroke costs no lookup.
class SpellHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT
public:
    explicit SpellHighlighter(QTextDocument *document);

    // The pause after the last change before lookups start, and the time
    // one slice spends on lookups before it hands the thread back.
    static constexpr int kIdleMs = 400;
    static constexpr int kSliceLookupMs = 6;

    // The dictionary; without one nothing is underlined.
    void setSpeller(std::shared_ptr<Speller> speller);
    Speller *speller() const { return m_speller.get(); }
    void setActive(bool active);
    bool isActive() const { return m_active; }
    // The first and last document position on screen, looked up first.
    // Without it the document is looked up from its start.
    void setVisibleRange(std::function<std::pair<int, int>()> range) { m_visibleRange = std::move(range); }

    struct Flagged {
        int start = 0;
        QString word;
    };
    // The underlined word at a document position (also just after it).
    std::optional<Flagged> flaggedWordAt(int position) const;

    // Words right in this document only ("Ignorieren").
    void ignore(const QString &word);
    bool isIgnored(const QString &word) const { return m_ignored.contains(word); }
    // Shows a word anew after the dictionary learnt it.
    void refreshWord(const QString &word);

    // Whether every word of the document has been looked up.
    bool isChecked() const { return m_checked; }
    // For the benchmark, in milliseconds: the longest time one slice held
    // the thread, and the time from the first slice of the last whole pass
    // to its end.
    double longestSliceMs() const { return m_longestSliceMs; }
    double lastPassMs() const { return m_lastPassMs; }

signals:
    // Every word has been looked up and is shown.
    void checked();

protected:
    void highlightBlock(const QString &text) override;

private:
    void restart();
    void runSlice();
    void rehighlightWord(const QString &word);

    std::shared_ptr<Speller> m_speller;
    bool m_active = true;
    std::function<std::pair<int, int>()> m_visibleRange;
    QSet<QString> m_ignored;
    QTextCharFormat m_format;
    QTimer m_idle;
    QTimer m_slice;
    bool m_checked = false;
    bool m_inPass = false;
    double m_longestSliceMs = 0;
    double m_lastPassMs = 0;
    QElapsedTimer m_pass;
};

} // namespace tarnvik::spelling
