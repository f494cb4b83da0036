#pragma once

#include "cli/batchjobs.h"
#include "cli/offices.h"
#include "engine/commandrunner.h"
#include "engine/conversionoptions.h"
#include "engine/scratchfolder.h"
#include "errors/errorhandler.h"
#include "frontend/conversionsession.h"
#include "printqueue/printers.h"
#include "settings/probes.h"
#include "settings/registry.h"

#include <QList>
#include <QString>
#include <chrono>
#include <memory>
#include <mutex>

namespace quillmer::cli {

// What became of one job.
struct JobOutcome
{
    // One PDF the job wrote (several for a split); for a job skipped, the
    // PDFs kept.
    struct Pdf
    {
        QString target;
        QString sheet; // with --split-sheets
        int pages = 0;
    };

    enum class Status
    {
        Converted,
        Failed,
        Skipped
    };
    Status status = Status::Failed;
    int pages = 0; // of all its PDFs
    QList<Pdf> pdfs;
    double seconds = 0;
    double officePeakMb = -1; // the peak resident memory of the job's office; -1: not known
    QString error;            // on failure
    bool interrupted = false; // called off by a stop of the whole batch: not done
    bool endsBatch = false;   // the conversion asked the program to end (no Ghostscript)
};

// What every worker of a batch shares.
struct WorkerSetup
{
    QString registryPath; // registry.reg beside the program
    ConversionOptions print;
    std::chrono::milliseconds timeout{120000};
    QString scratchRoot;   // each worker's scratch folder lives below it
    bool asWindow = false; // the window's conversion with print; else the command's with request
    CommandRequest request;
};

// One worker: a conversion session of its own with its own offices, its own
// Ghostscript runner and its own scratch folder (no lock shared with any
// other worker or with the window). Statuses, messages and failures are
// kept for the job's outcome; nothing is ever shown. convert() runs on the
// worker's thread; callOff() may come from any thread.
class Worker
{
public:
    enum class Reason
    {
        TimedOut,
        Interrupted
    };

    Worker(int number, const WorkerSetup& setup, std::unique_ptr<WorkerOffices> offices);
    ~Worker();

    // Converts job, known to the batch as serial.
    JobOutcome convert(const BatchJob& job, int serial);
    // Ends job serial at once if it is still under way: its offices and its
    // Ghostscript are killed, and it fails for that reason.
    void callOff(int serial, Reason reason);
    // After the last job, on the worker's thread.
    void close() { m_offices->close(); }

private:
    class Statuses;
    class Messages;
    class Failures;
    class Exit;

    QString failureText() const;
    // The command's own conversion of job; what it wrote, or empty after a
    // failure (then kept as the error handler keeps one).
    QList<JobOutcome::Pdf> convertAsCommand(const BatchJob& job, bool& endedCleanly);

    WorkerSetup m_setup;
    FixedConversionOptions m_options;
    std::unique_ptr<Statuses> m_statuses;
    std::unique_ptr<Messages> m_messages;
    std::unique_ptr<Failures> m_errors;
    std::unique_ptr<Exit> m_exit;
    std::unique_ptr<DocumentShell> m_shell;
    std::unique_ptr<WorkerOffices> m_offices;
    printqueue::RegistryPrinters m_printers;
    ProcessCommandRunner m_runner;
    Registry m_registry;
    NoWindowsVersion m_version;
    ScratchFolder m_scratch;
    std::unique_ptr<ConversionSession> m_session;

    std::mutex m_mutex;
    int m_current = -1; // the serial of the job under way
    std::optional<Reason> m_calledOff;
};

} // namespace quillmer::cli
