#include "platform/charactermaps.h"
#include "platform/clippedtext.h"

#include <QFile>
#include <map>
#include <optional>
#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <utility>

// The spool as qpdf reads and writes it: the parts of the character maps
// and of the clipped text that work on whole files. What they do with the
// bytes (the CMaps, the content streams) is in their own files.

namespace quillmer::platform {

namespace charactermaps {

MultiUnitValues multiUnitValues(const QString& pdf)
{
    MultiUnitValues values;
    try {
        QPDF document;
        document.setSuppressWarnings(true);
        document.processFile(QFile::encodeName(pdf).constData());
        for (QPDFObjectHandle& font : document.getAllObjects()) {
            if (!font.isDictionary())
                continue;
            QPDFObjectHandle map = font.getKey("/ToUnicode");
            if (!map.isStream())
                continue;
            const auto data = map.getStreamData(qpdf_dl_generalized);
            const MultiUnitEntries entries = multiUnitEntries(QByteArray::fromRawData(
                reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize())));
            if (entries.isEmpty())
                continue;
            QPDFObjectHandle name = font.getKey("/BaseFont");
            QPDFObjectHandle subtype = font.getKey("/Subtype");
            if (!name.isName() || !font.getKey("/FontDescriptor").isDictionary() ||
                (subtype.isName() && subtype.getName() == "/Type0")) {
                values.ambiguous = true;
                continue;
            }
            QByteArray base = QByteArray::fromStdString(name.getName()).mid(1);
            if (const qsizetype plus = base.indexOf('+'); plus >= 0)
                base = base.mid(plus + 1);
            MultiUnitEntries& known = values.fonts[base];
            for (auto it = entries.begin(); it != entries.end(); ++it) {
                const auto there = known.constFind(it.key());
                if (there != known.cend() && *there != it.value())
                    values.ambiguous = true;
                known.insert(it.key(), it.value());
            }
        }
    } catch (...) {
        // Not a PDF qpdf can read: Ghostscript's reading decides.
        return {};
    }
    return values;
}

} // namespace charactermaps

namespace clippedtext {

namespace {

double numberOf(QPDFObjectHandle object)
{
    return object.isNumber() ? object.getNumericValue() : 0;
}

// An embedded simple font's advances and glyph box.
std::optional<FontMetrics> measure(QPDFObjectHandle font)
{
    QPDFObjectHandle subtype = font.getKey("/Subtype");
    if (!subtype.isName() || (subtype.getName() != "/TrueType" && subtype.getName() != "/Type1"))
        return std::nullopt;
    QPDFObjectHandle widths = font.getKey("/Widths");
    QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
    if (!widths.isArray() || !descriptor.isDictionary())
        return std::nullopt;
    QPDFObjectHandle box = descriptor.getKey("/FontBBox");
    if (!box.isArray() || box.getArrayNItems() != 4)
        return std::nullopt;
    FontMetrics metrics;
    const double first = numberOf(font.getKey("/FirstChar"));
    if (first < 0 || first > 255)
        return std::nullopt;
    for (int i = 0; i < widths.getArrayNItems() && first + i <= 255; ++i)
        metrics.widths.insert(int(first) + i, numberOf(widths.getArrayItem(i)));
    metrics.missingWidth = numberOf(descriptor.getKey("/MissingWidth"));
    // Only embedded fonts: a substitute's glyphs may reach past the
    // box the descriptor gives.
    QPDFObjectHandle program = descriptor.getKey("/FontFile2");
    if (!program.isStream() && !descriptor.getKey("/FontFile").isStream() &&
        !descriptor.getKey("/FontFile3").isStream())
        return std::nullopt;
    bool fromProgram = false;
    if (program.isStream()) {
        const auto data = program.getStreamData(qpdf_dl_generalized);
        fromProgram =
            trueTypeBox(QByteArray::fromRawData(reinterpret_cast<const char*>(data->getBuffer()),
                                                qsizetype(data->getSize())),
                        &metrics);
    }
    if (!fromProgram) {
        metrics.llx = numberOf(box.getArrayItem(0));
        metrics.lly = numberOf(box.getArrayItem(1));
        metrics.urx = numberOf(box.getArrayItem(2));
        metrics.ury = numberOf(box.getArrayItem(3));
    }
    if (metrics.llx > metrics.urx)
        std::swap(metrics.llx, metrics.urx);
    if (metrics.lly > metrics.ury)
        std::swap(metrics.lly, metrics.ury);
    return metrics;
}

// Fonts measured before, by object (pages share their fonts); nullopt for
// a font not to be looked at.
using MeasuredFonts = std::map<QPDFObjGen, std::optional<FontMetrics>>;

// The simple fonts of a page's resources whose advances and box are known.
QHash<QByteArray, FontMetrics> fontsOf(QPDFPageObjectHelper& page, MeasuredFonts& measured)
{
    QHash<QByteArray, FontMetrics> fonts;
    QPDFObjectHandle resources = page.getAttribute("/Resources", false);
    if (!resources.isDictionary())
        return fonts;
    QPDFObjectHandle dictionary = resources.getKey("/Font");
    if (!dictionary.isDictionary())
        return fonts;
    for (const std::string& key : dictionary.getKeys()) {
        QPDFObjectHandle font = dictionary.getKey(key);
        if (!font.isDictionary())
            continue;
        auto known = measured.find(font.getObjGen());
        if (known == measured.end() || !font.isIndirect())
            known = measured.insert_or_assign(font.getObjGen(), measure(font)).first;
        if (known->second)
            fonts.insert(QByteArray::fromStdString(key).mid(1), *known->second);
    }
    return fonts;
}

} // namespace

int markInvisible(const QString& pdf, const QString& output)
{
    try {
        QPDF document;
        document.setSuppressWarnings(true);
        document.processFile(QFile::encodeName(pdf).constData());
        int total = 0;
        MeasuredFonts measured;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(document).getAllPages()) {
            const QHash<QByteArray, FontMetrics> fonts = fontsOf(page, measured);
            if (fonts.isEmpty())
                continue;
            Pl_Buffer buffer("page contents");
            page.pipeContents(&buffer);
            const auto data = buffer.getBufferSharedPointer();
            const QByteArray content(reinterpret_cast<const char*>(data->getBuffer()),
                                     qsizetype(data->getSize()));
            const QPDFObjectHandle::Rectangle media = page.getMediaBox().getArrayAsRectangle();
            int marked = 0;
            const QByteArray rewritten = markInvisible(
                content, fonts, {media.llx, media.lly, media.urx, media.ury}, &marked);
            if (!marked)
                continue;
            page.getObjectHandle().replaceKey(
                "/Contents", QPDFObjectHandle::newStream(&document, rewritten.toStdString()));
            total += marked;
        }
        if (total) {
            // QPDFWriter keeps the name's pointer until it writes.
            const QByteArray name = QFile::encodeName(output);
            QPDFWriter writer(document, name.constData());
            // A spool for the printer driver, which reads it from a pipe and
            // copies it first, at some 5 MB a second: the other streams as they
            // are, the new contents compressed (zlib's default level: the
            // driver's copy gains more than the compression costs).
            writer.setDecodeLevel(qpdf_dl_none);
            writer.write();
        }
        return total;
    } catch (...) {
        QFile::remove(output);
        return -1;
    }
}

} // namespace clippedtext

} // namespace quillmer::platform
