// The test programs' main() is QTest's own; this sets for them what each of
// the program's main() sets before anything starts.
#include "platform/brokenpipes.h"

namespace {
const bool brokenPipesIgnored = (quillmer::platform::ignoreBrokenPipes(), true);
} // namespace
