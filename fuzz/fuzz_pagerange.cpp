// Page boxes typed key by key through their filters, or pasted; the texts that pass
// Convert's numeric test go to the second Ghostscript run: the command keeps
// its arguments (a page text never becomes an option or a file of its own),
// and the empty-range check never fails.
#include "engine/ghostscript.h"
#include "frontend/optionrules.h"
#include "platform/process.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace quillmer;

namespace {

// Ghostscript never starts: the range check decides from the texts alone.
class NoRunner : public CommandRunner
{
public:
    bool RunCommandAndWait(const QString&, const QString&, qint32&, qint32, qint32) override
    {
        return false;
    }
    CommandOutcome lastOutcome() const override { return {}; }
};

QString typed(const QString& keys, bool fromBox)
{
    QString text;
    for (const QChar key : keys) {
        const char16_t reached = fromBox ? txtFrom_KeyPress(text, key.unicode())
                                         : txtTo_KeyPress(text, key.unicode(), QLocale::c());
        if (reached == 8)
            text.chop(1);
        else if (reached != 0)
            text += QChar(reached);
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString keys = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype half = keys.indexOf(u'\n');
    // Typed through the filters, or pasted past them.
    const bool pasted = size > 0 && (data[0] & 1);
    QString first = half < 0 ? keys : keys.left(half);
    QString last = half < 0 ? QString() : keys.mid(half + 1);
    if (!pasted) {
        first = typed(first, true);
        last = typed(last, false);
    }

    if (!IsNumeric(first, QLocale::c()) || !IsNumeric(last, QLocale::c()))
        return 0;
    static const qsizetype expected =
        platform::parseCommandLine(GhostscriptRuns::secondRunCommand(
                                       QStringLiteral("/usr/bin/gs"), QStringLiteral("/tmp/s"),
                                       QStringLiteral("1"), QStringLiteral("2"), true))
            .arguments.size();
    const auto command = platform::parseCommandLine(GhostscriptRuns::secondRunCommand(
        QStringLiteral("/usr/bin/gs"), QStringLiteral("/tmp/s"), first, last, true));
    if (command.arguments.size() != expected)
        std::abort();

    NoRunner runner;
    GhostscriptRuns runs(runner);
    (void)runs.rangeIsEmpty(QStringLiteral("/usr/bin/gs"), QStringLiteral("/tmp/s/PdfFiletemp.pdf"),
                            QStringLiteral("/tmp/s"), first, last);
    return 0;
}
