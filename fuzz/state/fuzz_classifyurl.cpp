// Feeds arbitrary addresses to the classification of page addresses.
#include "state/UrlClass.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString address = tarnvik::lowerAscii(
        QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    const UrlClass result = classifyAddress(address);
    // A section, and a thread number that is a real one or 0.
    if (result.forum > Forums::None || result.threadNumber < 0)
        std::abort();
    if (result.forum == Forums::None && (result.hasRead || result.threadNumber != 0))
        std::abort();
    if (result.threadNumber > 0 && !address.endsWith(QString::number(result.threadNumber).right(1)))
        std::abort();
    return 0;
}
