// Feeds arbitrary page text to the scan for a whole thread's title line.
#include "main/PageProcessing.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString body = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QString> title = tarnvik::threadTitleFromBody(body);
    // A title is a piece of one line.
    if (title && (title->contains(QLatin1Char('\n')) || title->size() > body.size()))
        std::abort();
    return 0;
}
