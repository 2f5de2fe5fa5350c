// Feeds arbitrary bytes to the zbm reader, once from a seekable buffer and
// once from a pipe-like device, as both take different paths through it.

#include "common/SequentialDevice.h"
#include "periphery/ZLibBMP.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdint>
#include <cstring>

namespace {

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    // Qt's BMP reader warns about every broken file it sees.
    QLoggingCategory::setFilterRules(QStringLiteral("*.warning=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    TZLIBBitmap fromBuffer;
    const bool ok = fromBuffer.LoadFromStream(buffer);

    SequentialDevice pipe(bytes);
    TZLIBBitmap fromPipe;
    const bool pipeOk = fromPipe.LoadFromStream(pipe);
    // A container must give the same verdict and picture from both devices.
    // (Qt's plain BMP reader cannot skip gaps on a pipe, so plain files may
    // differ; they only have to be survived.)
    if (bytes.startsWith(QByteArray::fromRawData(TZLIBBitmap::Signature, sizeof TZLIBBitmap::Signature))
        && (pipeOk != ok || (ok && QImage(fromPipe) != QImage(fromBuffer))))
        __builtin_trap();
    return 0;
}
