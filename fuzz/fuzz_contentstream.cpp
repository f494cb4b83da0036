// Page contents, ToUnicode CMaps and TrueType font programs as the printer
// queue reads them from a spool: any bytes are read to their end, and a
// content stream in which no text is drawn invisible comes back byte for
// byte.
#include "printqueue/charactermaps.h"
#include "printqueue/clippedtext.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace quillmer::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)charactermaps::multiUnitEntries(bytes);
    clippedtext::FontMetrics box;
    (void)clippedtext::trueTypeBox(bytes, &box);

    clippedtext::FontMetrics metrics;
    metrics.missingWidth = 500;
    metrics.llx = -100;
    metrics.urx = 600;
    metrics.ury = 700;
    static const QHash<QByteArray, clippedtext::FontMetrics> fonts{{"F1", metrics}};
    int marked = -1;
    const QByteArray out = clippedtext::markInvisible(bytes, fonts, {0, 0, 200, 100}, &marked);
    if (marked < 0 || (marked == 0 && out != bytes) || (marked > 0 && !out.contains(" 3 Tr ")))
        std::abort();
    return 0;
}
