// The printer queue's policy, in one function (printSpool), and what it
// reads of the spool. The mechanisms are below it: the spool document
// (spooldocument.h), the transparency check (transparency.h), the driver
// (printerdriver.h) and the PostScript of the queue's own
// (postscriptsetup.h, charactermaps.h).
#include "printqueue/queue.h"

#include "platform/failure.h"
#include "printqueue/charactermaps.h"
#include "printqueue/postscriptsetup.h"
#include "printqueue/printerdriver.h"
#include "printqueue/spooldocument.h"
#include "printqueue/transparency.h"

#include <QFile>
#include <algorithm>

namespace quillmer::printqueue {

namespace {

// The longest the transparency check may take of a print's time limit.
constexpr std::chrono::milliseconds CheckLimit{30000};

enum class Transparency
{
    None,
    Used,
    Unknown
};

// What reading the spool told, and the files to print: the spool with its
// clipped text drawn invisible, and that with its soft-masked pictures
// laid over white, to be printed without transparency.
struct ReadSpool
{
    QString marked, flattened;
    Transparency transparency = Transparency::Unknown;
    charactermaps::MultiUnitValues multiUnit;
};

ReadSpool readSpool(const PrintJob& job);

} // namespace

void printSpool(const PrintJob& job)
{
    // The spool is read once; its clipped text is drawn invisible, and when
    // it uses transparency its soft-masked pictures are laid over white.
    const ReadSpool spool = readSpool(job);
    // With transparency, it prints without it, with pictures over the
    // places where that changes the look, when that can be told within a
    // quarter of the print's time (30 s at most); otherwise ps2write draws
    // its pages with transparency as pictures.
    std::optional<QList<transparency::Overlay>> overlays;
    if (spool.transparency == Transparency::Used) {
        const QDeadlineTimer check(std::min(CheckLimit, job.timeLimit / 4));
        try {
            overlays = transparency::overlays(job.ghostscript, job.spool, spool.marked,
                                              spool.flattened, check);
        } catch (const platform::Failure&) {
            // It cannot tell: the pictures of ps2write's own.
        }
    }
    // The older interpreter only for values of several units that name and
    // code cannot carry over.
    const ghostscript::SpoolReading reading{
        .dropTransparency = overlays.has_value(),
        .transparencyAsPictures = spool.transparency != Transparency::None && !overlays,
        .olderInterpreter = spool.multiUnit.ambiguous};
    const QByteArray pageSetup =
        charactermaps::postScript(spool.multiUnit) +
        (overlays ? transparency::overlayPostScript(*overlays) : QByteArray());
    const QString& printed = overlays ? spool.flattened : spool.marked;
    // The driver started ahead when it suits; one killed meanwhile is
    // replaced quietly, once.
    std::unique_ptr<PrinterDriver> driver = job.readyDriver(reading);
    const bool ahead = driver != nullptr;
    if (!ahead)
        driver = startDriver(job.ghostscript, reading);
    try {
        driver->print(printed, job.output, job.deadline, pageSetup);
    } catch (const PrinterDriver::Killed&) {
        if (!ahead)
            throw;
        startDriver(job.ghostscript, reading)->print(printed, job.output, job.deadline, pageSetup);
    }
}

std::unique_ptr<PrinterDriver> startDriver(const QString& ghostscript,
                                           const ghostscript::SpoolReading& reading)
{
    return PrinterDriver::start(ghostscript, postscript::documentSetup(reading.olderInterpreter),
                                postscript::readerSetup(), reading);
}

namespace {

ReadSpool readSpool(const PrintJob& job)
{
    try {
        SpoolDocument document(job.spool);
        ReadSpool read{job.spool, job.spool,
                       document.usesTransparency() ? Transparency::Used : Transparency::None,
                       document.multiUnitValues()};
        document.markClippedText();
        if (document.writeChanges(job.marked))
            read.marked = read.flattened = job.marked;
        // Written apart: printed with its transparency, the spool keeps
        // what lay under its pictures.
        if (read.transparency == Transparency::Used && document.flattenSoftMasks() &&
            document.writeChanges(job.flattened))
            read.flattened = job.flattened;
        return read;
    } catch (const platform::Failure&) {
        // A spool qpdf cannot read or rewrite prints as the office wrote
        // it, Ghostscript's reading deciding; whatever transparency it has,
        // ps2write draws as pictures.
        QFile::remove(job.marked);
        QFile::remove(job.flattened);
        return {job.spool, job.spool, Transparency::Unknown, {}};
    }
}

} // namespace

} // namespace quillmer::printqueue
