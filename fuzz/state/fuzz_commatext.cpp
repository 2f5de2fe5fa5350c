// Feeds arbitrary text to the comma-text reader of the picture history, and
// checks that what it reads is written back to text that reads the same.
#include "state/CommaText.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList list = tarnvik::fromCommaText(text, 50);
    if (list.size() > 50)
        std::abort();
    // One empty entry and no entry at all are the same empty text.
    if (list == QStringList{QString()})
        return 0;
    if (tarnvik::fromCommaText(tarnvik::toCommaText(list), 50) != list)
        std::abort();
    return 0;
}
