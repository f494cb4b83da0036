#pragma once

// The C++ UNO side of the office host: the local runtime, the connection to
// an office over its pipe, and the conversions between Qt and UNO texts.
// Only the office host's own files include this header.

#include <QString>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <functional>
#include <rtl/ustring.hxx>

namespace quillmer {
class AppError;
}

namespace quillmer::office::uno {

namespace css = com::sun::star;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

inline OUString ou(const QString& s)
{
    return OUString(reinterpret_cast<const sal_Unicode*>(s.utf16()), sal_Int32(s.size()));
}

inline QString qs(const OUString& s)
{
    return QString(reinterpret_cast<const QChar*>(s.getStr()), s.getLength());
}

// A file URL for a local path, as the office takes it.
OUString fileUrl(const QString& path);

// A UNO exception's message without the source location LibreOffice appends.
QString message(const css::uno::Exception& e);

css::beans::PropertyValue property(const char* name, const Any& value);

// Error 429, "ActiveX component can't create object", with the reason.
AppError cannotCreate(const QString& why);

// The process-wide local UNO runtime that connects to the office instances,
// started once from the fundamentalrc of the office this program was built
// against. Throws platform::Failure when it cannot start.
Reference<css::uno::XComponentContext> localContext();

// An office's side of a connection.
struct Connection
{
    Reference<css::lang::XComponent> bridge;
    Reference<css::uno::XComponentContext> remote;
    Reference<css::frame::XDesktop2> desktop;
};

// Connects to the office that listens on the pipe, asking every few
// milliseconds while keepTrying() says so. An empty connection when
// keepTrying() gave up; UNO exceptions of the bridge pass on.
Connection connect(const QString& pipeName, const std::function<bool()>& keepTrying);

// Marks the office's profile as made by its present version (see the
// definition for why that matters).
void markProfileCurrent(const Reference<css::uno::XComponentContext>& remote);

} // namespace quillmer::office::uno
