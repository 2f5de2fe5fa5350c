// Feeds arbitrary bytes as a settings file to the reader that rescues values
// written in the Windows code page.
#include "state/IniValue.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const char *key : {"Name", "PicIDs", "Template", "x"}) {
        const QVariant value = tarnvik::readIniValueCp1252(bytes, QString::fromLatin1(key));
        (void)value.toString();
    }
    return 0;
}
