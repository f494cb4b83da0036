// Page contents, ToUnicode CMaps and font programs as the printer queue
// reads them from a spool: any bytes are read to their end, and a content
// stream in which no text is drawn invisible comes back byte for byte.
#include "printqueue/charactermaps.h"
#include "printqueue/clippedtext.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace quillmer::printqueue;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)charactermaps::multiUnitEntries(bytes);
    clippedtext::FontMetrics program;
    (void)clippedtext::readGlyphBoxes(bytes, {clippedtext::GlyphChoice::Symbolic, {}, false},
                                      &program);

    // Every glyph 500 wide; "a" to "z" with boxes of their own, "-" none.
    static const QHash<QByteArray, clippedtext::FontMetrics> fonts = [] {
        clippedtext::FontMetrics metrics;
        metrics.widths.fill(500);
        metrics.all = {-100, 0, 600, 700};
        for (int code = 'a'; code <= 'z'; ++code)
            metrics.glyphs[size_t(code)] = clippedtext::Box{50, 0, 450, 500};
        metrics.glyphs['-'] = clippedtext::Box{};
        return QHash<QByteArray, clippedtext::FontMetrics>{{"F1", metrics}};
    }();
    const clippedtext::Marked marked = clippedtext::markInvisible(bytes, fonts, {0, 0, 200, 100});
    if (marked.pieces < 0 || (marked.pieces == 0 && marked.content != bytes) ||
        (marked.pieces > 0 && !marked.content.contains(" 3 Tr ")))
        std::abort();
    return 0;
}
