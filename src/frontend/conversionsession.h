#pragma once

#include "engine/conversionservices.h"
#include "engine/pipeline.h"
#include "frontend/batchrun.h"
#include "frontend/commandconversion.h"

#include <optional>

namespace quillmer {

// What one conversion reads, reports to and drives.
struct ConversionSessionContext
{
    const ConversionOptionsSource& options;
    JobStatusSink& jobs;
    MessageBoxService& messages;
    ErrorHandler& errors;
    DocumentShell& shell;
    ProgramExit& ender;
    ConversionServices services;
};

// The controls the Convert button works on, for a session with a batch run.
struct BatchRunControls
{
    ConvertBoxes& boxes;
    PathBoxes& paths;
    JobList& list;
    JobHandlers& handlers; // AddCompleteListView
    PointerService& pointer;
};

// The one place where a conversion is put together: the engine from the
// options, the status sink, the messages, the error handler, the shell, the
// program exit and the services, and, for the window, the batch run that
// calls it per row; for the command line also its own conversion on the
// same services. Nothing here shows a window: what the messages and the
// statuses become is the owner's choice.
class ConversionSession
{
public:
    explicit ConversionSession(const ConversionSessionContext& context);
    ConversionSession(const ConversionSessionContext& context, const BatchRunControls& controls);

    ConversionEngine& engine() { return m_engine; }
    // The command's own conversion (its export and print roads).
    CommandConversion& command() { return m_command; }
    // The batch run; only a session made with controls has one.
    BatchRun& batchRun() { return m_batchRun.value(); }

    // One workbook to one PDF as the window converts it, reported as row of
    // the status sink, with the page set-up on the first sheet (as the batch
    // run converts each row).
    void convert(const QString& source, const QString& target, qint16 row = 1)
    {
        m_engine.ConversionPipeline(source, target, row, 1);
    }

private:
    ConversionEngine m_engine;
    CommandConversion m_command;
    std::optional<BatchRun> m_batchRun;
};

} // namespace quillmer
