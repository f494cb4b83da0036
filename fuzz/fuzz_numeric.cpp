// The numeric test on any text, in the C locale and in locales whose
// separators differ (comma decimals, dot and blank groups).
#include "frontend/optionrules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace quillmer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QLocale locales[] = {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::French, QLocale::France),
                                      QLocale(QLocale::Arabic, QLocale::Egypt)};
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QLocale& locale : locales) {
        const bool numeric = IsNumeric(text, locale);
        if (numeric != toNumber(text, locale).has_value())
            std::abort();
        (void)txtTo_KeyPress(text, text.isEmpty() ? u'1' : text.back().unicode(), locale);
    }
    return 0;
}
