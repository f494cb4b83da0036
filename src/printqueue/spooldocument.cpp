#include "printqueue/spooldocument.h"

#include "printqueue/spoolobjects.h"

#include <QFile>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

namespace quillmer::printqueue {

using spool::isName;
using spool::reading;

SpoolDocument::SpoolDocument(const QString& pdf) : m_document(std::make_unique<QPDF>())
{
    reading("read the spool", [&] {
        m_document->setSuppressWarnings(true);
        m_document->processFile(QFile::encodeName(pdf).constData());
    });
}

SpoolDocument::~SpoolDocument() = default;

bool SpoolDocument::writeChanges(const QString& output)
{
    if (!m_changes)
        return false;
    reading("write the rewritten spool", [&] {
        // QPDFWriter keeps the name's pointer until it writes.
        const QByteArray name = QFile::encodeName(output);
        QPDFWriter writer(*m_document, name.constData());
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(false);
        writer.write();
    });
    m_changes = 0;
    return true;
}

namespace {

// Whether a dictionary asks for transparency itself.
bool asksForTransparency(QPDFObjectHandle dict)
{
    QPDFObjectHandle mask = dict.getKey("/SMask");
    if (mask.isStream() || mask.isDictionary() || spool::numberOf(dict.getKey("/SMaskInData")) > 0)
        return true;
    for (const char* alpha : {"/CA", "/ca"})
        if (spool::numberOf(dict.getKey(alpha), 1) < 1)
            return true;
    QPDFObjectHandle blend = dict.getKey("/BM");
    for (QPDFObjectHandle mode :
         blend.isArray() ? blend.getArrayAsVector() : std::vector<QPDFObjectHandle>{blend})
        if (mode.isName() && !isName(mode, "/Normal") && !isName(mode, "/Compatible"))
            return true;
    QPDFObjectHandle group = dict.getKey("/Group");
    return group.isDictionary() && isName(group.getKey("/S"), "/Transparency");
}

// Whether an object, or a dictionary or array written inside it, asks for
// transparency. Other indirect objects are looked at on their own.
bool usesTransparency(QPDFObjectHandle object, int depth = 0)
{
    if (object.isStream())
        object = object.getDict();
    if (depth > 32)
        return false;
    std::vector<QPDFObjectHandle> inside;
    if (object.isArray()) {
        inside = object.getArrayAsVector();
    } else if (object.isDictionary()) {
        if (asksForTransparency(object))
            return true;
        for (const auto& [key, value] : object.getDictAsMap())
            inside.push_back(value);
    }
    for (QPDFObjectHandle& inner : inside)
        if (!inner.isIndirect() && usesTransparency(inner, depth + 1))
            return true;
    return false;
}

} // namespace

bool SpoolDocument::usesTransparency() const
{
    return reading("read the spool's objects", [&] {
        for (QPDFObjectHandle& object : m_document->getAllObjects())
            if (printqueue::usesTransparency(object))
                return true;
        return false;
    });
}

charactermaps::MultiUnitValues SpoolDocument::multiUnitValues() const
{
    return reading("read the spool's character maps", [&] {
        charactermaps::MultiUnitValues values;
        for (QPDFObjectHandle& font : m_document->getAllObjects()) {
            if (!font.isDictionary())
                continue;
            QPDFObjectHandle map = font.getKey("/ToUnicode");
            if (!map.isStream())
                continue;
            const auto data = map.getStreamData(qpdf_dl_generalized);
            const charactermaps::MultiUnitEntries entries =
                charactermaps::multiUnitEntries(spool::bytesOf(data));
            if (entries.isEmpty())
                continue;
            QPDFObjectHandle name = font.getKey("/BaseFont");
            if (!name.isName() || !font.getKey("/FontDescriptor").isDictionary() ||
                isName(font.getKey("/Subtype"), "/Type0")) {
                values.ambiguous = true;
                continue;
            }
            QByteArray base = QByteArray::fromStdString(name.getName()).mid(1);
            if (const qsizetype plus = base.indexOf('+'); plus >= 0)
                base = base.mid(plus + 1);
            charactermaps::MultiUnitEntries& known = values.fonts[base];
            for (auto it = entries.begin(); it != entries.end(); ++it) {
                const auto there = known.constFind(it.key());
                if (there != known.cend() && *there != it.value())
                    values.ambiguous = true;
                known.insert(it.key(), it.value());
            }
        }
        return values;
    });
}

} // namespace quillmer::printqueue
