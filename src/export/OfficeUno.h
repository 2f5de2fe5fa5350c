#pragma once

// The few UNO helpers the binding and its tests share. Only for translation
// units built with the LibreOffice SDK (target tarnvik_uno).

#include <QString>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/uno/Sequence.hxx>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>

#include <initializer_list>
#include <utility>

namespace tarnvik::word {

namespace css = com::sun::star;

inline rtl::OUString toOUString(const QString &s)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode *>(s.utf16()), s.size());
}

inline QString toQString(const rtl::OUString &s)
{
    return QString(reinterpret_cast<const QChar *>(s.getStr()), s.getLength());
}

// The office's file URL of a local path ("file:///tmp/%C3%9Cber%20Holz.doc").
rtl::OUString fileUrl(const QString &path);

// A property list for load and store calls: {{"FilterName", Any(...)}, ...}.
css::uno::Sequence<css::beans::PropertyValue>
properties(std::initializer_list<std::pair<const char *, css::uno::Any>> values);

// The client's own component context, bootstrapped once per process. Throws
// css::uno::Exception when the URE cannot be bootstrapped.
css::uno::Reference<css::uno::XComponentContext> localContext();

// The component context of the office listening on `pipe`; null when none
// listens there.
css::uno::Reference<css::uno::XComponentContext> resolveOffice(const QString &pipe);

// The office's desktop for a resolved context.
css::uno::Reference<css::frame::XDesktop2> desktopOf(const css::uno::Reference<css::uno::XComponentContext> &ctx);

} // namespace tarnvik::word
