// A command line of any text, split as CreateProcess would split it, and
// as an argument text by the Windows argument rules.
#include "platform/process.h"

#include <cstddef>
#include <cstdint>

using namespace quillmer::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)parseCommandLine(text);
    (void)splitArguments(text);
    return 0;
}
