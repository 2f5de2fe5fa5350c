#pragma once

#include <QList>
#include <QStringView>

// Which parts of a post are words to check for spelling. Left out: the
// forum's tags with their parameters ("[b]", "[url=…]", "[color=red]"), the
// entity-written HTML of links and pictures ("&lt;img src='…'&gt;") and
// other entities, addresses and mail addresses, anything with a digit
// ("18mm", "2x4"), words in capitals ("MDF"), single letters, and all text
// from "[code]" to "[/code]".
namespace tarnvik::spelling {

struct Word {
    qsizetype start = 0;
    qsizetype length = 0;
    // A full stop follows: "bzw." is known with it, not without.
    bool dotAfter = false;

    friend bool operator==(const Word &, const Word &) = default;
};

struct LineWords {
    QList<Word> words;
    // The line ends inside a [code] block.
    bool inCode = false;
};

// The words of one line (a paragraph of the body, without its line break),
// given whether the line starts inside a [code] block.
LineWords scanLine(QStringView line, bool inCode);

} // namespace tarnvik::spelling
