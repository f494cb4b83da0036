#include "platform/charactermaps.h"

#include <QByteArray>
#include <QFile>
#include <cctype>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>

namespace quillmer::platform::charactermaps {

bool multiUnitEntries(const QByteArray& cmap)
{
    qsizetype at = cmap.indexOf("beginbf");
    while (at >= 0) {
        qsizetype end = cmap.indexOf("endbf", at);
        if (end < 0)
            end = cmap.size();
        int digits = -1; // -1: outside a hex string
        for (qsizetype i = at; i < end; ++i) {
            const char c = cmap[i];
            if (c == '<')
                digits = 0;
            else if (c == '>') {
                if (digits > 4)
                    return true;
                digits = -1;
            } else if (digits >= 0 && std::isxdigit(static_cast<unsigned char>(c)))
                ++digits;
        }
        at = cmap.indexOf("beginbf", end);
    }
    return false;
}

bool multiUnit(const QString& pdf)
{
    try {
        QPDF document;
        document.setSuppressWarnings(true);
        document.processFile(QFile::encodeName(pdf).constData());
        std::set<QPDFObjGen> seen;
        for (QPDFObjectHandle& object : document.getAllObjects()) {
            if (!object.isDictionary())
                continue;
            QPDFObjectHandle map = object.getKey("/ToUnicode");
            if (!map.isStream() || !seen.insert(map.getObjGen()).second)
                continue;
            const auto data = map.getStreamData(qpdf_dl_generalized);
            if (multiUnitEntries(QByteArray::fromRawData(
                    reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()))))
                return true;
        }
    } catch (...) {
        // Not a PDF qpdf can read: Ghostscript's reading decides.
    }
    return false;
}

} // namespace quillmer::platform::charactermaps
