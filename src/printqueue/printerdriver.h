#pragma once

#include "platform/process.h"
#include "printqueue/ghostscriptcommand.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <optional>

namespace quillmer::printqueue {

// The printer queue's driver: Ghostscript's ps2write reading a PDF spool and
// writing PostScript on its standard output. Started before its print, it
// waits for the spool, so that a print does not wait for Ghostscript to
// start: it holds an empty file in memory (its descriptor 3, the only file
// it may read), and its standard input tells it to print that file once
// the spool has been copied in. (Ghostscript reads a PDF from a pipe by
// copying it first, at some 5 MB a second.) One driver prints once.
//
// On its way to the file, the PostScript gets two pieces of set-up of the
// queue's own: documentSetup in the file's set-up section (ps2write's
// PSDocOptions) and readerSetup just before the first object, where the PDF
// reader that ps2write puts in front of the pages has been defined and has
// read nothing yet.
class PrinterDriver
{
public:
    struct Outcome
    {
        bool ended = false;          // false: killed at the time limit
        std::optional<int> exitCode; // when it ended by exiting
        QString failure;             // a file that could not be read or written
        bool succeeded() const { return ended && exitCode == 0 && failure.isEmpty(); }
    };

    // Starts gsPath as the driver, reading its spool as reading says; null
    // (and errno in error) when it cannot run.
    static std::unique_ptr<PrinterDriver> start(const QString& gsPath,
                                                const QByteArray& documentSetup,
                                                const QByteArray& readerSetup,
                                                ghostscript::SpoolReading reading, int* error);
    // Kills the driver when it has not printed, and removes its scratch files.
    ~PrinterDriver();

    const QString& program() const { return m_program; }
    ghostscript::SpoolReading reading() const { return m_reading; }
    // Whether it still waits for its spool.
    bool waiting();

    // Hands the driver spoolPdf and writes its PostScript into outputFile
    // (replaced), within limit; past it, the driver is killed. pageSetup
    // goes in after the reader set-up. outputFile may be incomplete when the
    // outcome is not a success.
    Outcome print(const QString& spoolPdf, const QString& outputFile,
                  std::chrono::milliseconds limit, const QByteArray& pageSetup = QByteArray());

    // Where readerSetup goes into PostScript: before the first line that
    // begins an object ("12 0 obj") or a resource ("%%BeginResource:"); -1
    // when text, the start of a file, holds none yet. Only whole lines
    // count.
    static qsizetype readerSetupPosition(const QByteArray& text);

private:
    PrinterDriver(QString program, std::unique_ptr<QTemporaryDir> scratch,
                  std::unique_ptr<platform::Process> process, int spool, QByteArray readerSetup,
                  ghostscript::SpoolReading reading);

    QString m_program;
    // The driver's TMPDIR: ps2write keeps scratch files there, which a
    // driver killed before it ends (one started ahead and not used, one past
    // its time limit) leaves behind; removed with the driver.
    std::unique_ptr<QTemporaryDir> m_scratch;
    ghostscript::SpoolReading m_reading;
    std::unique_ptr<platform::Process> m_process;
    int m_spool; // the file in memory the driver prints
    QByteArray m_readerSetup;
};

} // namespace quillmer::printqueue
