#include "export/OfficeUno.h"

#include <QUrl>

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <cppuhelper/bootstrap.hxx>

#include <mutex>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace tarnvik::word {

using css::uno::Reference;

rtl::OUString fileUrl(const QString &path)
{
    return toOUString(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
}

css::uno::Sequence<css::beans::PropertyValue>
properties(std::initializer_list<std::pair<const char *, css::uno::Any>> values)
{
    css::uno::Sequence<css::beans::PropertyValue> result(sal_Int32(values.size()));
    css::beans::PropertyValue *out = result.getArray();
    for (const auto &[name, value] : values) {
        out->Name = rtl::OUString::createFromAscii(name);
        out->Value = value;
        ++out;
    }
    return result;
}

Reference<css::uno::XComponentContext> localContext()
{
    // Kept for the whole run and never released: the URE's own libraries may
    // be gone before the program's static objects are destroyed.
    static std::mutex mutex;
    static Reference<css::uno::XComponentContext> *context = nullptr;
    std::lock_guard lock(mutex);
    if (!context) {
        // Without it the client knows only the basic types, and the first
        // call into the office crashes instead of throwing.
#ifdef Q_OS_UNIX
        // The bridge writes to the office's pipe without MSG_NOSIGNAL: an
        // office that has just ended would otherwise end the program too.
        std::signal(SIGPIPE, SIG_IGN);
#endif
        if (qEnvironmentVariableIsEmpty("URE_BOOTSTRAP"))
            qputenv("URE_BOOTSTRAP", "vnd.sun.star.pathname:" TARNVIK_OFFICE_PROGRAM_DIR "/fundamentalrc");
        context = new Reference<css::uno::XComponentContext>(cppu::defaultBootstrap_InitialComponentContext());
    }
    return *context;
}

Reference<css::uno::XComponentContext> resolveOffice(const QString &pipe)
{
    const Reference<css::bridge::XUnoUrlResolver> resolver = css::bridge::UnoUrlResolver::create(localContext());
    try {
        const Reference<css::uno::XInterface> office = resolver->resolve(
            toOUString(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipe)));
        return Reference<css::uno::XComponentContext>(office, css::uno::UNO_QUERY);
    } catch (const css::connection::NoConnectException &) {
        return {};
    } catch (const css::lang::DisposedException &) {
        return {}; // an office on its way out
    }
}

Reference<css::frame::XDesktop2> desktopOf(const Reference<css::uno::XComponentContext> &ctx)
{
    return css::frame::Desktop::create(ctx);
}

} // namespace tarnvik::word
