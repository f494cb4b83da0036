#pragma once

#include "engine/commandrunner.h"
#include "engine/conversionoptions.h"
#include "engine/ghostscript.h"
#include "engine/jobstatus.h"
#include "engine/scratchfolder.h"
#include "errors/apperror.h"
#include "errors/errorhandler.h"
#include "errors/services.h"
#include "office/spreadsheethost.h"
#include "printqueue/printers.h"
#include "settings/probes.h"
#include "settings/registry.h"

#include <QString>
#include <memory>

namespace quillmer {

// What the batch run calls for each job.
class JobConverter
{
public:
    virtual ~JobConverter() = default;
    // Converts one job and reports its outcome in its row and in a message.
    // An error raised inside the conversion's own error trap passes to the
    // caller.
    virtual void ConversionPipeline(const QString& sourcePath, const QString& targetPath,
                                    qint16 row, qint16 sheetNumber) = 0;
    // How many jobs the batch converts after the next one; the next
    // conversion's office may then be started ahead, or not.
    virtual void expectJobs(int count) { (void)count; }
};

// Everything a conversion works with, handed in by its owner.
struct PipelineContext
{
    const ConversionOptionsSource& options; // read again at each step that uses them
    JobStatusSink& jobs;
    MessageBoxService& messages;
    ErrorHandler& errors;
    DocumentShell& shell;
    ProgramExit& ender;
    office::SpreadsheetHostFactory& hosts;
    const printqueue::InstalledPrinters& printers;
    CommandRunner& runner;
    const Registry& registry; // SOFTWARE\GS "GSPath"
    VersionSource& version;
    const ScratchFolder& scratch;
    // What Ghostscript answered before, shared with whoever asks ahead; none:
    // the engine keeps its own.
    GhostscriptAnswers* ghostscriptAnswers = nullptr;
};

// One workbook to one PDF, the twenty steps of a conversion:
//
//  1 the Ghostscript path (GSPath, NULs removed);  2 none there: a message,
//  then the program ends;  3 a new spreadsheet host;  4 open the workbook;
//  5 take the sheet;  6 the scratch folder, locked for this conversion, with
//  the files of any earlier one removed;  7 the Windows version name;
//  8 the printer search;  9 an old Windows without its printer: a message,
//  then close and quit (step 20);  10 keep ActivePrinter;  11 page set-up;
//  12 print to PsFile.ps;  13 ActivePrinter back;  14 first Ghostscript
//  run;  15 it did not start: "Failed";  16 a page range: the second run
//  cuts it;  17 no PdfFile.pdf: "Failed";  18 copy to the target,
//  "Completed" and the message;  19 open the PDF when asked;  20 close the
//  workbook and quit the host.
//
// One error trap covers all steps: it releases the workbook and sets
// "Failed"; error 429 makes a new host and resumes with the next step; any
// other error quits the host, goes to HandleError as "frmMain:cmdBrowse" and
// returns. An error inside the trap passes to the caller, and the host is
// ended first: no spreadsheet process outlives a call, whatever happened.
class ConversionEngine final : public JobConverter
{
public:
    explicit ConversionEngine(const PipelineContext& context);
    ~ConversionEngine() override;

    void ConversionPipeline(const QString& sourcePath, const QString& targetPath, qint16 row,
                            qint16 sheetNumber) override;
    void expectJobs(int count) override { m_context.hosts.expectMore(count); }

    // The host of the conversion under way; none between calls.
    office::SpreadsheetHost* host() const { return m_host.get(); }

    static inline const QString TrapLabel = QStringLiteral("frmMain:cmdBrowse");
    static inline const QString OldWindowsPrinter = QStringLiteral("HP Color LaserJet 5/5M PS");
    static QString missingConverterMessage()
    {
        return QStringLiteral(
            "Converter is missing or corrupted. Please contact our Support Team.");
    }
    // The message for a missing printer on an old Windows: "98" has its own.
    static QString missingPrinterMessage(const QString& versionName);
    static QString failedMessage() { return QStringLiteral("Failed to create PDF."); }
    static QString successMessage(const QString& rowText)
    {
        return rowText.toUpper() + QStringLiteral(" Converted Successfully.");
    }

private:
    struct Call;
    bool trap(const AppError& error, Call& call);
    office::SpreadsheetHost& liveHost() const;

    PipelineContext m_context;
    GhostscriptRuns m_ghostscript;
    // The spreadsheet application of the conversion under way.
    std::unique_ptr<office::SpreadsheetHost> m_host;
};

} // namespace quillmer
