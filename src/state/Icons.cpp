#include "state/Icons.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace {

QString drawingPath(int size, const QString &name)
{
    return QStringLiteral(":/icons/%1/%2.svg").arg(size).arg(name);
}

QImage render(const QString &path, const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (renderer.isValid()) {
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    } else {
        // A missing drawing must not leave a button blank: a plain tile with
        // the name's first letter stands in.
        const int edge = qMin(size.width(), size.height());
        painter.setPen(QColor(0x3a, 0x3a, 0x3a));
        painter.setBrush(QColor(0xd2, 0xa5, 0x6c));
        painter.drawRoundedRect(QRectF(1.5, 1.5, size.width() - 3, size.height() - 3), 3, 3);
        QFont font = painter.font();
        font.setPixelSize(qMax(1, edge * 2 / 3));
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, QFileInfo(path).baseName().left(1));
    }
    painter.end();
    return image.convertToFormat(QImage::Format_RGBA8888);
}

// The greyed look of a disabled button: light grey, mostly transparent.
QImage greyed(const QImage &source)
{
    QImage image = source.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = QColor::fromRgba(image.pixel(x, y));
            const int grey = 128 + qGray(c.rgb()) / 3;
            image.setPixelColor(x, y, QColor(grey, grey, grey, c.alpha() * 45 / 100));
        }
    }
    return image;
}

// Renders its drawing at the size and in the look asked for, once each.
class DrawingEngine : public QIconEngine
{
public:
    explicit DrawingEngine(QString path) : m_path(std::move(path)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size() * painter->device()->devicePixelRatioF(), mode, state));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        if (size.isEmpty())
            return {};
        const bool disabled = mode == QIcon::Disabled;
        const QString key = QStringLiteral("%1x%2:%3").arg(size.width()).arg(size.height()).arg(disabled);
        auto it = m_cache.constFind(key);
        if (it != m_cache.cend())
            return *it;
        const QImage image = render(m_path, size);
        return *m_cache.insert(key, QPixmap::fromImage(disabled ? greyed(image) : image));
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine *clone() const override { return new DrawingEngine(m_path); }
    QString key() const override { return QStringLiteral("tarnvik-drawing"); }

private:
    QString m_path;
    QHash<QString, QPixmap> m_cache;
};

// One icon per index, made on first use, so that every window shares the
// same rendered pixmaps. Emptied when the application object goes, before
// the pixmaps would outlive it.
QIcon cachedIcon(int size, const QStringList &names, int index)
{
    static QHash<int, QIcon> *cache = nullptr;
    if (index < 0 || index >= names.size())
        return {};
    if (!cache) {
        cache = new QHash<int, QIcon>;
        qAddPostRoutine([] {
            delete cache;
            cache = nullptr;
        });
    }
    const int key = size * 1000 + index;
    auto it = cache->constFind(key);
    if (it == cache->cend())
        it = cache->insert(key, QIcon(new DrawingEngine(drawingPath(size, names.at(index)))));
    return *it;
}

// The 24 x 24 list, in index order.
QStringList names()
{
    return {QStringLiteral("Powertool"), QStringLiteral("Hammer"), QStringLiteral("Settings"), QStringLiteral("Answer"),
            QStringLiteral("NewThread"), QStringLiteral("Door"), QStringLiteral("Bold"), QStringLiteral("Italic"),
            QStringLiteral("Center"), QStringLiteral("Code"), QStringLiteral("Big"), QStringLiteral("Red"),
            QStringLiteral("Preview"), QStringLiteral("Liste"), QStringLiteral("Door"), QStringLiteral("Picture"),
            QStringLiteral("Word"), QStringLiteral("Info"), QStringLiteral("Open"), QStringLiteral("Save"),
            QStringLiteral("Link"), QStringLiteral("Hoch"), QStringLiteral("Tief")};
}

// The 16 x 16 list.
QStringList names16()
{
    return {QStringLiteral("OpenFolder"), QStringLiteral("Hoch"), QStringLiteral("Tief"),
            QStringLiteral("Center"), QStringLiteral("Big"), QStringLiteral("Code")};
}

} // namespace

namespace TarnvikIcons {

QIcon icon(int index)
{
    static const QStringList list = names();
    return cachedIcon(24, list, index);
}

QIcon icon16(int index)
{
    static const QStringList list = names16();
    return cachedIcon(16, list, index);
}

QPixmap image(int index)
{
    return icon(index).pixmap(QSize(24, 24));
}

QPixmap disabledImage(int index)
{
    return icon(index).pixmap(QSize(24, 24), QIcon::Disabled);
}

} // namespace TarnvikIcons
