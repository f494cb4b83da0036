#include "printqueue/charactermaps.h"
#include "printqueue/clippedtext.h"
#include "printqueue/transparency.h"

#include <QFile>
#include <functional>
#include <map>
#include <optional>
#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <utility>
#include <vector>

// The spool as qpdf reads and writes it: the parts of the character maps,
// the clipped text and the transparency that work on whole files. What they
// do with the bytes (the CMaps, the content streams) is in their own files.

namespace quillmer::printqueue {

namespace {

bool isName(QPDFObjectHandle object, const char* name)
{
    return object.isName() && object.getName() == name;
}

// A stream's data as bytes, without a copy: valid while data lives.
QByteArray bytesOf(const std::shared_ptr<Buffer>& data)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data->getBuffer()),
                                   qsizetype(data->getSize()));
}

void read(QPDF& document, const QString& pdf)
{
    document.setSuppressWarnings(true);
    document.processFile(QFile::encodeName(pdf).constData());
}

// pdf read, changed by change (which says how many changes it made) and
// written into output when it made any: a spool the printer driver reads
// once, from memory, so streams are written as they are, new ones
// uncompressed (compressing a rewritten page's contents cost more than it
// saved). The number of changes; -1 when pdf cannot be read or output
// written.
int rewrite(const QString& pdf, const QString& output, const std::function<int(QPDF&)>& change)
{
    try {
        QPDF document;
        read(document, pdf);
        const int changes = change(document);
        if (changes) {
            // QPDFWriter keeps the name's pointer until it writes.
            const QByteArray name = QFile::encodeName(output);
            QPDFWriter writer(document, name.constData());
            writer.setDecodeLevel(qpdf_dl_none);
            writer.setCompressStreams(false);
            writer.write();
        }
        return changes;
    } catch (...) {
        QFile::remove(output);
        return -1;
    }
}

} // namespace

namespace charactermaps {

MultiUnitValues multiUnitValues(const QString& pdf)
{
    MultiUnitValues values;
    try {
        QPDF document;
        read(document, pdf);
        for (QPDFObjectHandle& font : document.getAllObjects()) {
            if (!font.isDictionary())
                continue;
            QPDFObjectHandle map = font.getKey("/ToUnicode");
            if (!map.isStream())
                continue;
            const auto data = map.getStreamData(qpdf_dl_generalized);
            const MultiUnitEntries entries = multiUnitEntries(bytesOf(data));
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
    if (!isName(subtype, "/TrueType") && !isName(subtype, "/Type1"))
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
        fromProgram = trueTypeBox(bytesOf(data), &metrics);
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
    return rewrite(pdf, output, [](QPDF& document) {
        int total = 0;
        MeasuredFonts measured;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(document).getAllPages()) {
            const QHash<QByteArray, FontMetrics> fonts = fontsOf(page, measured);
            if (fonts.isEmpty())
                continue;
            Pl_Buffer buffer("page contents");
            page.pipeContents(&buffer);
            const auto data = buffer.getBufferSharedPointer();
            const QByteArray content = bytesOf(data);
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
        return total;
    });
}

} // namespace clippedtext

namespace transparency {

namespace {

// A soft mask's /Decode: false for none or [0 1], true for [1 0], nullopt
// for anything else.
std::optional<bool> inverted(QPDFObjectHandle decode)
{
    if (decode.isNull())
        return false;
    if (!decode.isArray() || decode.getArrayNItems() != 2 || !decode.getArrayItem(0).isNumber() ||
        !decode.getArrayItem(1).isNumber())
        return std::nullopt;
    const double from = decode.getArrayItem(0).getNumericValue();
    const double to = decode.getArrayItem(1).getNumericValue();
    if (from == 0 && to == 1)
        return false;
    if (from == 1 && to == 0)
        return true;
    return std::nullopt;
}

// Larger pictures keep their mask: blending them would hold hundreds of
// megabytes.
constexpr qint64 MaxPixels = 40'000'000;

// The picture's samples blended with its soft mask against white and
// compressed (as the file holds it until it is written), or nothing when it
// is not a plain 8-bit grey or RGB picture with a plain mask of its own
// size.
std::shared_ptr<Buffer> blendedOverWhite(QPDFObjectHandle image)
{
    QPDFObjectHandle dict = image.getDict();
    QPDFObjectHandle mask = dict.getKey("/SMask");
    if (!mask.isStream())
        return nullptr;
    QPDFObjectHandle maskDict = mask.getDict();
    const int components = isName(dict.getKey("/ColorSpace"), "/DeviceRGB")    ? 3
                           : isName(dict.getKey("/ColorSpace"), "/DeviceGray") ? 1
                                                                               : 0;
    QPDFObjectHandle width = dict.getKey("/Width"), height = dict.getKey("/Height");
    const auto eight = [](QPDFObjectHandle d) {
        return d.getKey("/BitsPerComponent").isInteger() &&
               d.getKey("/BitsPerComponent").getIntValue() == 8;
    };
    const std::optional<bool> maskInverted = inverted(maskDict.getKey("/Decode"));
    if (!components || !eight(dict) || !eight(maskDict) || !maskInverted ||
        !dict.getKey("/Decode").isNull() || dict.getKey("/ImageMask").isBool() ||
        !maskDict.getKey("/Matte").isNull() || !width.isInteger() || !height.isInteger() ||
        maskDict.getKey("/Width").unparse() != width.unparse() ||
        maskDict.getKey("/Height").unparse() != height.unparse() ||
        !isName(maskDict.getKey("/ColorSpace"), "/DeviceGray"))
        return nullptr;
    const qint64 columns = width.getIntValue(), rows = height.getIntValue();
    if (columns <= 0 || rows <= 0 || columns > MaxPixels / rows)
        return nullptr;
    const qint64 pixels = columns * rows;
    const auto samples = image.getStreamData(qpdf_dl_all);
    const auto alpha = mask.getStreamData(qpdf_dl_all);
    if (qint64(samples->getSize()) < pixels * components || qint64(alpha->getSize()) < pixels)
        return nullptr;
    Pl_Buffer compressed("flattened picture");
    Pl_Flate flate("flattened picture", &compressed, Pl_Flate::a_deflate);
    const unsigned char* s = samples->getBuffer();
    const unsigned char* a = alpha->getBuffer();
    std::vector<unsigned char> row(size_t(columns * components));
    for (qint64 y = 0; y < rows; ++y) {
        for (qint64 x = 0; x < columns; ++x) {
            const qint64 pixel = y * columns + x;
            const int opacity = *maskInverted ? 255 - a[pixel] : a[pixel];
            for (int c = 0; c < components; ++c) {
                const int sample = s[pixel * components + c];
                row[size_t(x * components + c)] = static_cast<unsigned char>(
                    (sample * opacity + 255 * (255 - opacity) + 127) / 255);
            }
        }
        flate.write(row.data(), row.size());
    }
    flate.finish();
    return compressed.getBufferSharedPointer();
}

} // namespace

int flattenImages(const QString& pdf, const QString& output)
{
    return rewrite(pdf, output, [](QPDF& document) {
        int total = 0;
        for (QPDFObjectHandle& image : document.getAllObjects()) {
            if (!image.isStream() || !isName(image.getDict().getKey("/Subtype"), "/Image"))
                continue;
            std::shared_ptr<Buffer> blended;
            try {
                blended = blendedOverWhite(image);
            } catch (...) {
                // Samples qpdf cannot decode: the picture keeps its mask.
            }
            if (!blended)
                continue;
            image.replaceStreamData(blended, QPDFObjectHandle::newName("/FlateDecode"),
                                    QPDFObjectHandle::newNull());
            image.getDict().removeKey("/SMask");
            ++total;
        }
        return total;
    });
}

} // namespace transparency

} // namespace quillmer::printqueue
