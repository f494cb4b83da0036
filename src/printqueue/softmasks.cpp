// The spool's soft-masked pictures laid over white (transparency.h).
#include "printqueue/spooldocument.h"
#include "printqueue/spoolobjects.h"

#include <optional>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <stdexcept>
#include <vector>

namespace quillmer::printqueue {

namespace {

using spool::isName;

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

int SpoolDocument::flattenSoftMasks()
{
    const int flattened = spool::reading("read the spool's pictures", [&] {
        int total = 0;
        for (QPDFObjectHandle& image : m_document->getAllObjects()) {
            if (!image.isStream() || !isName(image.getDict().getKey("/Subtype"), "/Image"))
                continue;
            std::shared_ptr<Buffer> blended;
            try {
                blended = blendedOverWhite(image);
            } catch (const std::runtime_error&) {
                // Samples qpdf cannot decode (qpdf's QPDFExc, or a filter it
                // lacks): the picture keeps its mask, and the check that
                // follows sees what that changes.
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
    m_changes += flattened;
    return flattened;
}

} // namespace quillmer::printqueue
