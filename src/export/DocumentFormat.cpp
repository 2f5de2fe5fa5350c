#include "export/DocumentFormat.h"

#include "export/WordConnection.h"

#include <QFile>
#include <QSize>
#include <QUrl>

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/graphic/GraphicProvider.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/style/XStyle.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/XParagraphCursor.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextGraphicObjectsSupplier.hpp>
#include <com/sun/star/view/XViewSettingsSupplier.hpp>

namespace tarnvik::word {

using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

namespace {
constexpr sal_Int32 kMargin = 2000; // 2.0 cm in 1/100 mm

// The size of a local JPEG or PNG file named by `url`, else 0.
qint64 keptAsIs(const QString &url)
{
    QFile file(QUrl(url).toLocalFile());
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray start = file.read(8);
    const bool kept = start.startsWith("\xFF\xD8\xFF") || start.startsWith("\x89PNG\r\n\x1A\n");
    return kept ? file.size() : 0;
}

// Calls `visit` with each picture frame of the document and the properties
// of the graphic it shows (empty when it shows none).
template <typename Visit>
void forEachPicture(const Reference<css::frame::XModel> &model, Visit &&visit)
{
    const Reference<css::container::XIndexAccess> pictures(
        Reference<css::text::XTextGraphicObjectsSupplier>(model, UNO_QUERY_THROW)->getGraphicObjects(),
        UNO_QUERY_THROW);
    const sal_Int32 count = pictures->getCount();
    for (sal_Int32 j = 0; j < count; ++j) {
        const Reference<css::beans::XPropertySet> picture(pictures->getByIndex(j), UNO_QUERY_THROW);
        Reference<css::graphic::XGraphic> graphic;
        picture->getPropertyValue("Graphic") >>= graphic;
        visit(picture, Reference<css::beans::XPropertySet>(graphic, UNO_QUERY));
    }
}
} // namespace

void setPrintLayout(const Reference<css::frame::XModel> &model)
{
    const Reference<css::view::XViewSettingsSupplier> view(model->getCurrentController(), UNO_QUERY_THROW);
    view->getViewSettings()->setPropertyValue("ShowOnlineLayout", Any(false));
}

void setPageMargins(const Reference<css::frame::XModel> &model)
{
    const Reference<css::style::XStyleFamiliesSupplier> families(model, UNO_QUERY_THROW);
    const Reference<css::container::XNameAccess> pageStyles(
        families->getStyleFamilies()->getByName("PageStyles"), UNO_QUERY_THROW);
    const css::uno::Sequence<OUString> styleNames = pageStyles->getElementNames();
    for (const OUString &name : styleNames) {
        const Reference<css::style::XStyle> style(pageStyles->getByName(name), UNO_QUERY_THROW);
        if (!style->isInUse())
            continue;
        // In this order, in one call: the page is laid out anew only once.
        css::uno::Sequence<OUString> names(4);
        css::uno::Sequence<Any> values(4);
        int i = 0;
        for (const char *margin : {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"}) {
            names.getArray()[i] = OUString::createFromAscii(margin);
            values.getArray()[i++] <<= kMargin;
        }
        Reference<css::beans::XMultiPropertySet>(style, UNO_QUERY_THROW)->setPropertyValues(names, values);
    }
}

// One selection from the third paragraph to the end takes both values at once.
void clearIndentsFromThirdParagraph(const Reference<css::frame::XModel> &model)
{
    const Reference<css::text::XText> text = Reference<css::text::XTextDocument>(model, UNO_QUERY_THROW)->getText();
    const Reference<css::text::XParagraphCursor> cursor(text->createTextCursor(), UNO_QUERY_THROW);
    cursor->gotoStart(false);
    if (!cursor->gotoNextParagraph(false) || !cursor->gotoNextParagraph(false))
        return; // fewer than three paragraphs
    cursor->gotoEnd(true);
    css::uno::Sequence<OUString> names(2);
    names.getArray()[0] = "ParaLeftMargin";
    names.getArray()[1] = "ParaRightMargin";
    css::uno::Sequence<Any> zeros(2);
    zeros.getArray()[0] <<= sal_Int32(0);
    zeros.getArray()[1] <<= sal_Int32(0);
    Reference<css::beans::XMultiPropertySet>(cursor, UNO_QUERY_THROW)->setPropertyValues(names, zeros);
}

qint64 embedAndNarrowPictures(const Reference<css::frame::XModel> &model,
                              const Reference<css::uno::XComponentContext> &office)
{
    qint64 bytes = 0;
    const Reference<css::graphic::XGraphicProvider> provider = css::graphic::GraphicProvider::create(office);
    forEachPicture(model, [&](const Reference<css::beans::XPropertySet> &picture,
                              const Reference<css::beans::XPropertySet> &graphic) {
        // Setting the same graphic back would keep the link; loading it
        // anew from its origin embeds it. A missing file stays a link.
        OUString origin;
        if (graphic.is())
            graphic->getPropertyValue("OriginURL") >>= origin;
        // Read before the new graphic arrives, which leaves the frame's size
        // as it is but keeps the office busy for a while.
        css::awt::Size size;
        picture->getPropertyValue("Size") >>= size;
        if (!origin.isEmpty()) {
            const Reference<css::graphic::XGraphic> own = provider->queryGraphic(
                properties({{"URL", Any(origin)}, {"LazyRead", Any(true)}}));
            if (own.is()) {
                picture->setPropertyValue("Graphic", Any(own));
                bytes += keptAsIs(toQString(origin));
            }
        }

        const QSize narrowed = narrowedPictureSize(QSize(size.Width, size.Height));
        if (narrowed.width() != size.Width)
            picture->setPropertyValue("Size", Any(css::awt::Size(narrowed.width(), narrowed.height())));
    });
    return bytes;
}

int countEmbeddedPictures(const Reference<css::frame::XModel> &model)
{
    int embedded = 0;
    forEachPicture(model, [&](const Reference<css::beans::XPropertySet> &,
                              const Reference<css::beans::XPropertySet> &graphic) {
        if (!graphic.is())
            return;
        bool linked = true;
        css::awt::Size pixels;
        graphic->getPropertyValue("Linked") >>= linked;
        graphic->getPropertyValue("SizePixel") >>= pixels;
        if (!linked && pixels.Width > 0 && pixels.Height > 0)
            ++embedded;
    });
    return embedded;
}

} // namespace tarnvik::word
