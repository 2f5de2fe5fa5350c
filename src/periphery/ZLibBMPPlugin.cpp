// Qt image-format plugin for zbm files, linked into the program statically
// (see ZLibBMPRegistration.cpp).

#include "ZLibBMP.h"

#include <QImageIOHandler>
#include <QImageIOPlugin>
#include <QLoggingCategory>
#include <QVariant>

Q_LOGGING_CATEGORY(lcZbm, "tarnvik.zbm")

namespace {

class ZLibBMPHandler : public QImageIOHandler
{
public:
    bool canRead() const override
    {
        if (!device() || !TZLIBBitmap::HasSignature(*device()))
            return false;
        setFormat("zbm");
        return true;
    }

    // A file named ".zbm" that is a plain BMP is read as well, as the
    // signature decides and not the name.
    bool read(QImage *image) override
    {
        TZLIBBitmap bitmap;
        if (!device() || !bitmap.LoadFromStream(*device())) {
            qCWarning(lcZbm, "%s", qPrintable(bitmap.ErrorString()));
            return false;
        }
        *image = std::move(bitmap);
        return true;
    }

    bool write(const QImage &image) override
    {
        TZLIBBitmap bitmap(image);
        bitmap.SetCompressionLevel(m_level);
        if (!device() || !bitmap.WriteData(*device())) {
            qCWarning(lcZbm, "%s", qPrintable(bitmap.ErrorString()));
            return false;
        }
        return true;
    }

    // QImageWriter::setCompression() takes the level: 0 none, 1 fastest,
    // 2 zlib's default, 3 maximum; anything else means maximum.
    bool supportsOption(ImageOption option) const override { return option == CompressionRatio; }

    QVariant option(ImageOption option) const override
    {
        return option == CompressionRatio ? QVariant(int(m_level)) : QVariant();
    }

    void setOption(ImageOption option, const QVariant &value) override
    {
        if (option != CompressionRatio)
            return;
        const int level = value.toInt();
        m_level = (level >= 0 && level <= 3) ? TZLIBBitmap::TCompressionLevel(level)
                                             : TZLIBBitmap::TCompressionLevel::Max;
    }

private:
    TZLIBBitmap::TCompressionLevel m_level = TZLIBBitmap::TCompressionLevel::Max;
};

} // namespace

class ZLibBMPPlugin : public QImageIOPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "ZLibBMPPlugin.json")

public:
    Capabilities capabilities(QIODevice *device, const QByteArray &format) const override
    {
        if (format == "zbm")
            return CanRead | CanWrite;
        // Content detection: Qt's reader asks every plugin about a "bmp" file
        // and about files whose format it does not know yet. Only a container
        // is claimed, so plain BMPs stay with Qt's own handler; writing "bmp"
        // is never claimed.
        if (!format.isEmpty() && format != "bmp")
            return {};
        if (device && device->isOpen() && device->isReadable() && TZLIBBitmap::HasSignature(*device))
            return CanRead;
        return {};
    }

    QImageIOHandler *create(QIODevice *device, const QByteArray &format) const override
    {
        auto *handler = new ZLibBMPHandler;
        handler->setDevice(device);
        handler->setFormat(format.isEmpty() ? QByteArray("zbm") : format);
        return handler;
    }
};

#include "ZLibBMPPlugin.moc"
