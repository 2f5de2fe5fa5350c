// Prints what spelling costs in the editor, one figure a line as
// "name value" (milliseconds):
//   dictionary_load_ms   loading the German dictionary and the word lists
//                        (off the user-interface thread)
//   longest_slice_ms     the longest time one lookup slice held the
//                        user-interface thread, over all bodies below
//   full_check_ms        from the end of the typing pause until the largest
//                        body (65,536 characters) is looked up and shown
//   typical_check_ms     the same for a typical answer of 2,000 characters
//   single_paragraph_check_ms, single_paragraph_slice_ms
//                        the largest body as one paragraph without breaks
//   keystroke_ms         one key typed into the largest body, with its
//                        underlines shown (the text layout's share included)
//   suggestions_ms       the suggestions for one misspelt word
#include "BenchUtil.h"
#include "EditorBench.h"
#include "editor/Edit.h"
#include "editor/EditSpelling.h"
#include "editor/PostFile.h"
#include "editor/SpellHighlighter.h"
#include "editor/Speller.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>

#include <algorithm>
#include <cstdio>

using namespace tarnvik;

namespace {

const QStringList kSentences = {
    QStringLiteral("Ich habe die Tischplatte aus Eiche mit der Oberfräse gefast und danach geölt."),
    QStringLiteral("Für die Schwalbenschwanzverbindung nehme ich eine feine Zinkensäge und einen scharfen Stechbeitel."),
    QStringLiteral("Das Hartwachsöl trocknet über Nacht, dann folgt ein Zwischenschliff mit Körnung 320."),
    QStringLiteral("[b]Wichtig:[/b] die Leimholzplatte muss vor dem Verleimen plan abgerichtet sein."),
    QStringLiteral("Siehe auch www.holzwerken.test oder schreib mir an werkstatt@example.org."),
    QStringLiteral("Mit 18mm Multiplex und einer Tauchsäge an der Führungsschiene geht das schnell."),
    QStringLiteral("Die Hobelbank hat eine Vorderzange und eine Hinterzange aus Buche."),
    QStringLiteral("Ich würde den Dickenhobel erst nach dem Abrichten einsetzen, sonst bleibt die Verwindung."),
};

// Words of a workshop post: those of the sentences above and the workshop's
// list, in an order of their own, so that a long post holds many different
// words as a real one does; one word in twenty with a slip (two letters
// swapped), and now and then a tag, an address or a measure.
QString post(qsizetype length, bool paragraphs, const QStringList &workshopWords)
{
    QStringList words = workshopWords;
    for (const QString &sentence : kSentences)
        words += sentence.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString text;
    quint32 seed = 7;
    const auto next = [&seed](quint32 bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    for (qsizetype n = 0; text.size() < length; ++n) {
        QString word = words.at(next(quint32(words.size())));
        if (next(20) == 0 && word.size() > 3) {
            const qsizetype at = 1 + next(quint32(word.size() - 2));
            std::swap(word[at], word[at + 1]);
        }
        if (next(50) == 0)
            word = QStringLiteral("[b]%1[/b]").arg(word);
        else if (next(200) == 0)
            word = QStringLiteral("www.werkstatt%1.test").arg(n);
        else if (next(100) == 0)
            word = QStringLiteral("%1mm").arg(n % 40);
        text += word;
        text += paragraphs && next(80) == 0 ? QStringLiteral("\n\n") : QStringLiteral(" ");
    }
    text.truncate(length);
    return text;
}

struct Check {
    double checkMs = 0;
    double sliceMs = 0;
};

// Puts the text into the editor's body and waits until it is looked up.
Check check(TfrmEdit &editor, const QString &text)
{
    spelling::SpellHighlighter *highlighter = editor.Spelling()->highlighter();
    editor.SetBodyText(text);
    waitFor([highlighter] { return highlighter->isChecked(); }, 120'000);
    return {highlighter->lastPassMs(), highlighter->longestSliceMs()};
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    EditorBenchFolder folder;
    const QString &program = folder.program;
    tarnvik::setErrorReporter([](const QString &) {});

    QElapsedTimer clock;
    clock.start();
    std::shared_ptr<spelling::Speller> speller =
        spelling::Speller::load(spelling::findGermanDictionary(), {program + QStringLiteral("Werkstattwoerter.txt")});
    const double loadMs = clock.nsecsElapsed() / 1e6;
    if (!speller) {
        std::fprintf(stderr, "no German dictionary: nothing to measure\n");
        return 1;
    }
    std::printf("dictionary_load_ms %.1f\n", loadMs);

    // Each body in a fresh editor, so that no lookup of the one before helps.
    const auto measure = [](const QString &text) {
        spelling::forgetSpeller();
        TfrmEdit editor(nullptr, true);
        editor.show();
        waitFor([&editor] { return editor.Spelling()->isReady(); });
        return check(editor, text);
    };
    const QStringList workshopWords = spelling::readWordList(program + QStringLiteral("Werkstattwoerter.txt"));
    const Check largest = measure(post(postfile::kMaxBodyLength, true, workshopWords));
    const Check typical = measure(post(2000, true, workshopWords));
    const Check single = measure(post(postfile::kMaxBodyLength, false, workshopWords));
    std::printf("longest_slice_ms %.1f\n", std::max({largest.sliceMs, typical.sliceMs, single.sliceMs}));
    std::printf("full_check_ms %.1f\n", largest.checkMs);
    std::printf("typical_check_ms %.1f\n", typical.checkMs);
    std::printf("single_paragraph_check_ms %.1f\n", single.checkMs);
    std::printf("single_paragraph_slice_ms %.1f\n", single.sliceMs);

    {
        TfrmEdit editor(nullptr, true);
        editor.show();
        check(editor, post(postfile::kMaxBodyLength - 1, true, workshopWords));
        editor.findChild<QPlainTextEdit *>(QStringLiteral("Memo"))->moveCursor(QTextCursor::End);
        std::printf("keystroke_ms %.1f\n", keystrokeMs(editor));
    }

    clock.restart();
    speller->suggestions(QStringLiteral("Schwalbenschwanzverbinudng"));
    std::printf("suggestions_ms %.1f\n", clock.nsecsElapsed() / 1e6);
    return 0;
}
