#pragma once

// Reading a saved document back through the office, for the suites that
// check what the office phase wrote: its paragraphs with their indents, its
// pictures with their sizes and whether they are embedded, and the margins
// of its page styles. Only for suites built with the LibreOffice SDK.

#include "export/OfficeProcess.h"
#include "export/OfficeUno.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSize>
#include <QStringList>
#include <QUrl>

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/style/XStyle.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextGraphicObjectsSupplier.hpp>
#include <com/sun/star/util/XCloseable.hpp>

namespace readback {

using namespace tarnvik::word;
using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

struct Paragraph {
    int left = 0;
    int right = 0;
    QString text;
};

struct Picture {
    QSize size;  // 1/100 mm
    QSize pixel; // 0 x 0 for a missing linked file
    bool linked = true;
};

// A picture's size in the document as the HTML import gives it: 96 pixels
// an inch, whatever density the file names.
inline QSize officeSize(QSize pixels)
{
    return QSize(qRound(pixels.width() * 2540.0 / 96), qRound(pixels.height() * 2540.0 / 96));
}

// Sizes equal within `tolerance` (1/100 mm); a ".doc" keeps sizes to 0.1 mm.
inline bool near(QSize a, QSize b, int tolerance = 3)
{
    return qAbs(a.width() - b.width()) <= tolerance && qAbs(a.height() - b.height()) <= tolerance;
}

inline QByteArray describe(const QList<Picture> &pictures)
{
    QStringList out;
    for (const Picture &p : pictures)
        out << QStringLiteral("%1x%2 (%3x%4 px%5)")
                   .arg(p.size.width()).arg(p.size.height()).arg(p.pixel.width()).arg(p.pixel.height())
                   .arg(p.linked ? QStringLiteral(", linked") : QString());
    return out.join(QStringLiteral("; ")).toUtf8();
}

// Moves a pictures folder away for as long as it lives, so that only what
// a document holds itself can show.
struct PicturesAway {
    QString from, to;
    explicit PicturesAway(const QString &folder)
        : from(QDir::cleanPath(folder)), to(QDir::cleanPath(folder) + QStringLiteral(".away"))
    {
        QDir().rename(from, to);
    }
    ~PicturesAway() { QDir().rename(to, from); }
    PicturesAway(const PicturesAway &) = delete;
    PicturesAway &operator=(const PicturesAway &) = delete;
};

inline Reference<css::frame::XDesktop2> desktop(const QString &pipe)
{
    const Reference<css::uno::XComponentContext> office = resolveOffice(pipe);
    return office.is() ? desktopOf(office) : nullptr;
}

// Opens `file` hidden in the office on `pipe`; null when it cannot.
inline Reference<css::frame::XModel> load(const QString &pipe, const QString &file, const char *filter = nullptr)
{
    auto props = filter ? properties({{"Hidden", Any(true)}, {"FilterName", Any(OUString::createFromAscii(filter))}})
                        : properties({{"Hidden", Any(true)}});
    const Reference<css::frame::XDesktop2> office = desktop(pipe);
    if (!office.is())
        return nullptr;
    return Reference<css::frame::XModel>(office->loadComponentFromURL(fileUrl(file), "_blank", 0, props), UNO_QUERY);
}

// Opens a copy of a saved document (`copy` names it), so that the office's
// open original stays as it is.
inline Reference<css::frame::XModel> loadCopy(const QString &pipe, const QString &file, const QString &copy)
{
    QFile::remove(copy);
    if (!QFile::copy(file, copy))
        return nullptr;
    return load(pipe, copy);
}

inline void close(const Reference<css::frame::XModel> &model)
{
    if (model.is())
        Reference<css::util::XCloseable>(model, UNO_QUERY_THROW)->close(true);
}

// Quits the office on `pipe`, if one runs there, and ends it outright should
// it hang on its way out; true once none is left.
inline bool quitOffice(const QString &pipe)
{
    if (tarnvik::word::officeProcesses(pipe).isEmpty())
        return true;
    try {
        if (const auto d = desktop(pipe); d.is())
            d->terminate();
    } catch (...) {
        // The bridge may die before the office answers.
    }
    return tarnvik::word::endOfficeProcesses(pipe, 0, 10000);
}

inline QList<Paragraph> paragraphs(const Reference<css::frame::XModel> &model)
{
    QList<Paragraph> out;
    const Reference<css::container::XEnumerationAccess> body(
        Reference<css::text::XTextDocument>(model, UNO_QUERY_THROW)->getText(), UNO_QUERY_THROW);
    const Reference<css::container::XEnumeration> e = body->createEnumeration();
    while (e->hasMoreElements()) {
        const Reference<css::lang::XServiceInfo> info(e->nextElement(), UNO_QUERY_THROW);
        if (!info->supportsService("com.sun.star.text.Paragraph"))
            continue;
        const Reference<css::beans::XPropertySet> props(info, UNO_QUERY_THROW);
        Paragraph p;
        props->getPropertyValue("ParaLeftMargin") >>= p.left;
        props->getPropertyValue("ParaRightMargin") >>= p.right;
        p.text = toQString(Reference<css::text::XTextRange>(info, UNO_QUERY_THROW)->getString());
        out << p;
    }
    return out;
}

inline QList<Picture> pictures(const Reference<css::frame::XModel> &model)
{
    QList<Picture> out;
    const Reference<css::container::XIndexAccess> all(
        Reference<css::text::XTextGraphicObjectsSupplier>(model, UNO_QUERY_THROW)->getGraphicObjects(),
        UNO_QUERY_THROW);
    for (sal_Int32 i = 0; i < all->getCount(); ++i) {
        const Reference<css::beans::XPropertySet> object(all->getByIndex(i), UNO_QUERY_THROW);
        css::awt::Size size;
        object->getPropertyValue("Size") >>= size;
        Reference<css::graphic::XGraphic> graphic;
        object->getPropertyValue("Graphic") >>= graphic;
        Picture p;
        p.size = QSize(size.Width, size.Height);
        if (const Reference<css::beans::XPropertySet> g(graphic, UNO_QUERY); g.is()) {
            css::awt::Size pixel;
            g->getPropertyValue("SizePixel") >>= pixel;
            g->getPropertyValue("Linked") >>= p.linked;
            p.pixel = QSize(pixel.Width, pixel.Height);
        }
        out << p;
    }
    return out;
}

// Top, bottom, left and right margin of every page style in use.
inline QList<QList<int>> margins(const Reference<css::frame::XModel> &model)
{
    QList<QList<int>> out;
    const Reference<css::container::XNameAccess> styles(
        Reference<css::style::XStyleFamiliesSupplier>(model, UNO_QUERY_THROW)->getStyleFamilies()->getByName("PageStyles"),
        UNO_QUERY_THROW);
    for (const OUString &name : styles->getElementNames()) {
        const Reference<css::style::XStyle> style(styles->getByName(name), UNO_QUERY_THROW);
        if (!style->isInUse())
            continue;
        const Reference<css::beans::XPropertySet> props(style, UNO_QUERY_THROW);
        QList<int> m;
        for (const char *side : {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"})
            m << props->getPropertyValue(OUString::createFromAscii(side)).get<sal_Int32>();
        out << m;
    }
    return out;
}

} // namespace readback
