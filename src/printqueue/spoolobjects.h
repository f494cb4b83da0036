#pragma once

// What the spool document's parts (spooldocument.cpp, spoolfonts.cpp,
// softmasks.cpp) share about qpdf's objects.

#include "platform/failure.h"

#include <QByteArray>
#include <QString>
#include <exception>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace quillmer::printqueue::spool {

inline bool isName(QPDFObjectHandle object, const char* name)
{
    return object.isName() && object.getName() == name;
}

inline double numberOf(QPDFObjectHandle object, double otherwise = 0)
{
    return object.isNumber() ? object.getNumericValue() : otherwise;
}

// A stream's data as bytes, without a copy: valid while data lives.
inline QByteArray bytesOf(const std::shared_ptr<Buffer>& data)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data->getBuffer()),
                                   qsizetype(data->getSize()));
}

// What work does, qpdf's failures (damaged or unreadable data) thrown as
// the queue's own.
template <typename Work> auto reading(const char* what, Work&& work)
{
    try {
        return work();
    } catch (const platform::Failure&) {
        throw;
    } catch (const std::exception& e) {
        throw platform::Failure(
            QStringLiteral("cannot %1 (%2)").arg(QLatin1String(what), QString::fromUtf8(e.what())));
    }
}

} // namespace quillmer::printqueue::spool
