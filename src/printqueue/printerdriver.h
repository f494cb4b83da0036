#pragma once

#include "platform/failure.h"
#include "platform/process.h"
#include "printqueue/ghostscriptcommand.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QTemporaryDir>
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
    // A print that failed because the driver had ended by a signal before it
    // printed: killed while it waited, so a fresh driver may print instead.
    class Killed : public platform::Failure
    {
    public:
        using Failure::Failure;
    };

    // Starts gsPath as the driver, reading its spool as reading says.
    // Throws platform::Failure when it cannot run.
    static std::unique_ptr<PrinterDriver> start(const QString& gsPath,
                                                const QByteArray& documentSetup,
                                                const QByteArray& readerSetup,
                                                ghostscript::SpoolReading reading);
    // Kills the driver when it has not printed, and removes its scratch files.
    ~PrinterDriver();

    const QString& program() const { return m_program; }
    ghostscript::SpoolReading reading() const { return m_reading; }
    // Whether it still waits for its spool.
    bool waiting();

    // Hands the driver spoolPdf and writes its PostScript into outputFile
    // (replaced) before the deadline; past it, the driver is killed.
    // pageSetup goes in after the reader set-up. Throws platform::Failure
    // (Killed, for a driver that had been killed) when the driver fails,
    // when it is late or when a file cannot be read or written; outputFile
    // may then be incomplete.
    void print(const QString& spoolPdf, const QString& outputFile, const QDeadlineTimer& deadline,
               const QByteArray& pageSetup = QByteArray());

    // Where readerSetup goes into PostScript: before the first line that
    // begins an object ("12 0 obj") or a resource ("%%BeginResource:");
    // nothing while text, the start of a file, holds none yet. Only whole
    // lines count.
    static std::optional<qsizetype> readerSetupPosition(const QByteArray& text);

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
