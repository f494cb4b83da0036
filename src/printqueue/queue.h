#pragma once

#include "printqueue/ghostscriptcommand.h"

#include <QDeadlineTimer>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

namespace quillmer::printqueue {

class PrinterDriver;

// One print of the queue "Quillmer".
struct PrintJob
{
    QString spool;       // the office's PDF spool
    QString marked;      // where it may go with its clipped text drawn invisible
    QString flattened;   // and with its soft-masked pictures laid over white
    QString output;      // the PostScript to write
    QString ghostscript; // the driver's program
    std::chrono::milliseconds timeLimit{0};
    QDeadlineTimer deadline; // the print's end, timeLimit from its start
    // The driver started ahead, when one suits this print's program and
    // reading; none otherwise.
    std::function<std::unique_ptr<PrinterDriver>(const ghostscript::SpoolReading&)> readyDriver;
};

// The queue's policy: what it does to a spool before it prints, in which
// order, how it prints it, and what it does when a part fails. Throws
// platform::Failure when the print fails; output may then be incomplete.
void printSpool(const PrintJob& job);

// A driver for reading, started now (printerdriver.h, with the queue's
// set-ups of postscriptsetup.h). Throws platform::Failure.
std::unique_ptr<PrinterDriver> startDriver(const QString& ghostscript,
                                           const ghostscript::SpoolReading& reading);

} // namespace quillmer::printqueue
