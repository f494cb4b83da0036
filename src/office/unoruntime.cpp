#include "office/unoruntime.h"

#include "errors/apperror.h"
#include "platform/failure.h"

#include <QUrl>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XNameReplace.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/util/XChangesBatch.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <mutex>
#include <rtl/bootstrap.hxx>
#include <unistd.h>

namespace quillmer::office::uno {

OUString fileUrl(const QString& path)
{
    return ou(QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()));
}

QString message(const css::uno::Exception& e)
{
    QString m = qs(e.Message);
    const qsizetype at = m.indexOf(QStringLiteral(" at ./"));
    if (at >= 0)
        m.truncate(at);
    return m.trimmed();
}

css::beans::PropertyValue property(const char* name, const Any& value)
{
    css::beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

AppError cannotCreate(const QString& why)
{
    return AppError(err::CannotCreateObject,
                    QStringLiteral("ActiveX component can't create object: %1").arg(why));
}

Reference<css::uno::XComponentContext> localContext()
{
    // The process's one UNO runtime: the C++ bridge allows a single local
    // runtime per process, so every office connection of every thread shares
    // it. Started by the first connection, and never freed: the runtime's
    // own libraries outlive the program's statics.
    static std::once_flag once;
    static Reference<css::uno::XComponentContext>* context = nullptr;
    static QString failure;
    std::call_once(once, [&] {
        // The office's own bootstrap file, unless URE_BOOTSTRAP names
        // another. It is given to the runtime's bootstrap table, which comes
        // before the environment; the environment itself is never changed.
        if (qEnvironmentVariableIsEmpty("URE_BOOTSTRAP"))
            rtl::Bootstrap::set(OUString("URE_BOOTSTRAP"),
                                OUString("vnd.sun.star.pathname:" QUILLMER_URE_FUNDAMENTALRC));
        try {
            context = new Reference<css::uno::XComponentContext>(
                cppu::defaultBootstrap_InitialComponentContext());
        } catch (const css::uno::Exception& e) {
            failure = message(e);
        }
    });
    if (!context || !context->is())
        throw platform::Failure(QStringLiteral("the UNO runtime cannot start (%1)").arg(failure));
    return *context;
}

Connection connect(const QString& pipeName, const std::function<bool()>& keepTrying)
{
    const Reference<css::uno::XComponentContext> local = localContext();
    const Reference<css::connection::XConnector> connector =
        css::connection::Connector::create(local);
    Reference<css::connection::XConnection> link;
    // The pipe appears a moment after the office starts; asking often costs
    // nothing but a failed connect.
    while (!link.is()) {
        if (!keepTrying())
            return {};
        try {
            link = connector->connect(ou(QStringLiteral("pipe,name=") + pipeName));
        } catch (const css::connection::NoConnectException&) {
            ::usleep(10000);
        }
    }
    Connection c;
    const Reference<css::bridge::XBridge> bridge =
        css::bridge::BridgeFactory::create(local)->createBridge(OUString(), OUString("urp"), link,
                                                                nullptr);
    c.bridge.set(bridge, UNO_QUERY);
    c.remote.set(bridge->getInstance(OUString("StarOffice.ComponentContext")), UNO_QUERY_THROW);
    c.desktop = css::frame::Desktop::create(c.remote);
    return c;
}

// Until a profile says it was made by the present office, every start counts
// as the first after an upgrade and runs the office's graphics self-tests
// (4096-pixel surfaces drawn and compared), which cost more than the rest of
// the start together. Only a window that shows a document would ever write
// the mark, and a headless office shows none.
void markProfileCurrent(const Reference<css::uno::XComponentContext>& remote)
{
    const Reference<css::lang::XMultiServiceFactory> provider =
        css::configuration::theDefaultProvider::get(remote);
    const Any path(property("nodepath", Any(OUString("/org.openoffice.Setup/Product"))));
    const Reference<css::container::XNameReplace> product(
        provider->createInstanceWithArguments(
            OUString("com.sun.star.configuration.ConfigurationUpdateAccess"),
            Sequence<Any>(&path, 1)),
        UNO_QUERY_THROW);
    OUString version, last;
    product->getByName(OUString("ooSetupVersion")) >>= version;
    product->getByName(OUString("ooSetupLastVersion")) >>= last;
    if (version.isEmpty() || version == last)
        return;
    product->replaceByName(OUString("ooSetupLastVersion"), Any(version));
    Reference<css::util::XChangesBatch>(product, UNO_QUERY_THROW)->commitChanges();
}

} // namespace quillmer::office::uno
