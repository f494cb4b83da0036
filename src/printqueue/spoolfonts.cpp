// The spool's clipped text (clippedtext.h): its fonts measured, each page's
// contents cut where the clip hides their glyphs.
#include "printqueue/clippedtext.h"
#include "printqueue/spooldocument.h"
#include "printqueue/spoolobjects.h"

#include <algorithm>
#include <map>
#include <optional>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <utility>

namespace quillmer::printqueue {

namespace {

using clippedtext::FontMetrics;
using clippedtext::GlyphChoice;
using spool::isName;
using spool::numberOf;

// How the font's codes choose its glyphs, where Ghostscript's way is plain:
// a symbolic TrueType font without an encoding (the office's own), a Type 1
// or CFF font by its own encoding and the PDF's Differences.
GlyphChoice glyphChoiceOf(QPDFObjectHandle font, QPDFObjectHandle descriptor)
{
    GlyphChoice choice;
    QPDFObjectHandle encoding = font.getKey("/Encoding");
    if (isName(font.getKey("/Subtype"), "/TrueType")) {
        const bool symbolic = (int(numberOf(descriptor.getKey("/Flags"))) & 4) != 0;
        if (symbolic && encoding.isNull())
            choice.kind = GlyphChoice::Symbolic;
        return choice;
    }
    choice.kind = GlyphChoice::Named;
    choice.builtIn =
        encoding.isNull() || (encoding.isDictionary() && encoding.getKey("/BaseEncoding").isNull());
    QPDFObjectHandle differences =
        encoding.isDictionary() ? encoding.getKey("/Differences") : QPDFObjectHandle();
    if (!differences.isArray())
        return choice;
    int code = 0;
    for (QPDFObjectHandle item : differences.getArrayAsVector()) {
        if (item.isInteger())
            code = int(item.getIntValue());
        else if (item.isName() && code >= 0 && code <= 255)
            choice.names.insert(code++, QByteArray::fromStdString(item.getName()).mid(1));
    }
    return choice;
}

// An embedded simple font's advances and glyph boxes.
std::optional<FontMetrics> measure(QPDFObjectHandle font)
{
    QPDFObjectHandle subtype = font.getKey("/Subtype");
    if (!isName(subtype, "/TrueType") && !isName(subtype, "/Type1"))
        return std::nullopt;
    QPDFObjectHandle widths = font.getKey("/Widths");
    QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
    if (!widths.isArray() || !descriptor.isDictionary())
        return std::nullopt;
    const double first = numberOf(font.getKey("/FirstChar"));
    if (first < 0 || first > 255)
        return std::nullopt;
    FontMetrics metrics;
    metrics.widths.fill(numberOf(descriptor.getKey("/MissingWidth")));
    for (int i = 0; i < widths.getArrayNItems() && first + i <= 255; ++i)
        metrics.widths[size_t(first) + size_t(i)] = numberOf(widths.getArrayItem(i));
    // Only embedded fonts: a substitute's glyphs are not the ones measured.
    QPDFObjectHandle program;
    for (const char* key : {"/FontFile2", "/FontFile", "/FontFile3"})
        if (descriptor.getKey(key).isStream())
            program = descriptor.getKey(key);
    if (!program.isStream())
        return std::nullopt;
    const auto data = program.getStreamData(qpdf_dl_generalized);
    if (clippedtext::readGlyphBoxes(spool::bytesOf(data), glyphChoiceOf(font, descriptor),
                                    &metrics))
        return metrics;
    // A program FreeType cannot read: the box the descriptor gives.
    QPDFObjectHandle box = descriptor.getKey("/FontBBox");
    if (!box.isArray() || box.getArrayNItems() != 4)
        return std::nullopt;
    const double x0 = numberOf(box.getArrayItem(0)), y0 = numberOf(box.getArrayItem(1));
    const double x1 = numberOf(box.getArrayItem(2)), y1 = numberOf(box.getArrayItem(3));
    metrics.all = {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
    return metrics;
}

// Fonts measured before, by object (pages share their fonts); nullopt for
// a font not to be looked at.
using MeasuredFonts = std::map<QPDFObjGen, std::optional<FontMetrics>>;

// The simple fonts of a page's resources whose advances and boxes are known.
QHash<QByteArray, FontMetrics> fontsOf(QPDFPageObjectHelper& page, MeasuredFonts& measured)
{
    QHash<QByteArray, FontMetrics> fonts;
    QPDFObjectHandle resources = page.getAttribute("/Resources", false);
    QPDFObjectHandle dictionary =
        resources.isDictionary() ? resources.getKey("/Font") : QPDFObjectHandle();
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

int SpoolDocument::markClippedText()
{
    const int marked = spool::reading("read the spool's pages", [&] {
        int total = 0;
        MeasuredFonts measured;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*m_document).getAllPages()) {
            const QHash<QByteArray, FontMetrics> fonts = fontsOf(page, measured);
            if (fonts.isEmpty())
                continue;
            Pl_Buffer buffer("page contents");
            page.pipeContents(&buffer);
            const auto data = buffer.getBufferSharedPointer();
            const QPDFObjectHandle::Rectangle media = page.getMediaBox().getArrayAsRectangle();
            const clippedtext::Marked cut = clippedtext::markInvisible(
                spool::bytesOf(data), fonts, {media.llx, media.lly, media.urx, media.ury});
            if (!cut.pieces)
                continue;
            page.getObjectHandle().replaceKey(
                "/Contents",
                QPDFObjectHandle::newStream(m_document.get(), cut.content.toStdString()));
            total += cut.pieces;
        }
        return total;
    });
    m_changes += marked;
    return marked;
}

} // namespace quillmer::printqueue
