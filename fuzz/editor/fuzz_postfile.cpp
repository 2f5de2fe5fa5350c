// Feeds arbitrary bytes as a post file, as the editor reads it, and checks
// that a post it takes is written back to a file that reads the same.
#include "editor/BodyText.h"
#include "editor/PostFile.h"
#include "state/TextFile.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

using namespace tarnvik;
using namespace tarnvik::postfile;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = decodeText(bytes);
    if (!isPlainText(text))
        return 0;
    Post post;
    if (!decode(text, post))
        return 0;
    (void)withinBounds(post);
    const QByteArray written = encode(post);
    // The subject is one line of the file: line and paragraph separators in
    // it are written as blanks.
    post.subject = tarnvik::body::toLf(post.subject).replace(QLatin1Char('\n'), QLatin1Char(' '));
    // A zero-width no-break space at the very start reads as a byte order
    // mark once written as UTF-8, and goes, as in every text editor.
    QString &first = post.bodyLines.isEmpty() ? post.subject : post.bodyLines.first();
    if (first.startsWith(QChar(0xFEFF)))
        first.remove(0, 1);
    Post again;
    if (!decode(decodeText(written), again) || again.bodyLines != post.bodyLines || again.subject != post.subject)
        std::abort();
    return 0;
}
