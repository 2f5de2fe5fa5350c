// Prints how long the editor takes to open and show a post whose body is one
// long line (a draft of that size in the work folder), what the text layout
// of such a line costs when it is put into the body directly (why the body
// is bounded), and what one key typed into the longest body costs. Every
// figure is the time until the window is shown and laid out, so it is the
// time the user waits. One figure a line as "name value" (milliseconds;
// "open_draft_<n>kib_refused 1" where a draft is too large to be taken):
//   open_draft_<n>kib_ms        opening with a one-line draft of n KiB
//   layout_<n>kib_line_ms       the line put into the body directly
//   layout_<n>kib_words_ms      the same line broken into words
//   keystroke_ms                one key typed into a one-line body of the
//                               largest length
#include "EditorBench.h"
#include "editor/Edit.h"
#include "editor/PostFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <memory>

namespace {

QByteArray unbrokenLine(qsizetype length)
{
    return QByteArray(length, 'a').replace(7, 1, " ");
}

double openMs(bool newPost)
{
    QElapsedTimer t;
    t.start();
    TfrmEdit editor(nullptr, newPost);
    editor.show();
    QCoreApplication::processEvents();
    editor.repaint();
    return t.nsecsElapsed() / 1e6;
}

void writeDraft(const QString &name, const QByteArray &line, const QByteArray &subject)
{
    QFile file(name);
    if (file.open(QIODevice::WriteOnly))
        file.write(line + "\r\n" + subject + "\r\n");
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    EditorBenchFolder folder;
    TDM &dm = *folder.dm;
    int refused = 0;
    tarnvik::setErrorReporter([&refused](const QString &) { ++refused; });

    const QString draft = dm.WorkPath() + QStringLiteral("NewText.txt");
    for (const qsizetype length : {16 * 1024, 32 * 1024, int(tarnvik::postfile::kMaxBodyLength), 256 * 1024,
                                   8 * 1024 * 1024}) {
        writeDraft(draft, unbrokenLine(length), QByteArray(tarnvik::postfile::kMaxSubjectLength, 'b'));
        refused = 0;
        const double ms = openMs(true);
        const long long kib = length / 1024;
        std::printf("open_draft_%lldkib_ms %.1f\n", kib, ms);
        if (refused)
            std::printf("open_draft_%lldkib_refused 1\n", kib);
        QFile::remove(draft);
    }

    for (const qsizetype length : {64 * 1024, 128 * 1024, 256 * 1024}) {
        for (const bool words : {false, true}) {
            QString text = QString::fromLatin1(unbrokenLine(length));
            for (qsizetype i = 80; words && i < text.size(); i += 81)
                text[i] = QLatin1Char(' ');
            QElapsedTimer t;
            t.start();
            TfrmEdit editor(nullptr, true);
            editor.SetBodyText(text);
            editor.show();
            QCoreApplication::processEvents();
            editor.repaint();
            std::printf("layout_%lldkib_%s_ms %.1f\n", static_cast<long long>(length / 1024), words ? "words" : "line",
                        t.nsecsElapsed() / 1e6);
        }
    }

    {
        TfrmEdit editor(nullptr, true);
        editor.SetBodyText(QString::fromLatin1(unbrokenLine(tarnvik::postfile::kMaxBodyLength - 1)));
        editor.show();
        QCoreApplication::processEvents();
        std::printf("keystroke_ms %.1f\n", keystrokeMs(editor));
    }
    QFile::remove(draft);
    return 0;
}
