#include "cli/command.h"

#include "cli/batch.h"
#include "cli/commandoptions.h"
#include "cli/output.h"
#include "platform/registrynames.h"
#include "settings/probes.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>

namespace quillmer::cli {

namespace {

void say(std::FILE* stream, const QString& text)
{
    std::fputs(("quillmer-convert: " + text + '\n').toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Removes the scratch folders of runs that have since died (the folder name
// carries the process id).
void removeLeftScratch()
{
    const QDir temp(QDir::tempPath());
    for (const QFileInfo& entry : temp.entryInfoList({QStringLiteral("quillmer-convert-*-*")},
                                                     QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const pid_t owner = entry.fileName().section(u'-', 2, 2).toInt(&ok);
        if (ok && owner > 0 && owner != ::getpid() && entry.ownerId() == ::geteuid() &&
            !entry.isSymLink() && ::kill(owner, 0) != 0 && errno == ESRCH)
            QDir(entry.filePath()).removeRecursively();
    }
}

// The report, when asked for, and the terminal, in that order.
struct Both final : BatchObserver
{
    ProgressOutput& progress;
    JsonLinesReport* report;
    Both(ProgressOutput& p, JsonLinesReport* r) : progress(p), report(r) {}
    void started(int total) override { progress.started(total); }
    void jobDone(const BatchJob& job, const JobOutcome& outcome) override
    {
        if (report)
            report->jobDone(job, outcome);
        progress.jobDone(job, outcome);
    }
    void tick() override { progress.tick(); }
};

// What every worker of the batch gets: its setup, and offices of its own
// (one kept from job to job unless each job is to have a fresh one).
BatchSettings batchSettings(const CommandOptions& o, const QString& registryPath,
                            const QString& scratch)
{
    BatchSettings settings;
    settings.workers = o.workers;
    settings.skipExisting = o.skipExisting;
    settings.setup = WorkerSetup{registryPath, o.print, o.timeout, scratch, o.asWindow, o.request};
    const std::chrono::milliseconds timeLimit = o.timeout;
    const bool fresh = o.freshOffice;
    const bool printing = o.asWindow || o.request.road == ConversionRoad::Print;
    settings.offices = [=]() -> std::unique_ptr<WorkerOffices> {
        if (fresh)
            return std::make_unique<FreshOffices>(registryPath, timeLimit);
        return std::make_unique<ReusedOffices>(registryPath, timeLimit,
                                               ReusedOffices::DefaultJobsPerOffice, printing);
    };
    return settings;
}

} // namespace

CommandResult runConvertCommand(const QStringList& arguments, const QString& programFolder,
                                const QString& workingDir, std::FILE* out, std::FILE* err,
                                bool terminal)
{
    const ParsedCommand parsed = parseCommand(arguments, workingDir);
    if (!parsed.help.isEmpty()) {
        std::fputs(parsed.help.toLocal8Bit().constData(), out);
        return {};
    }
    const auto usage = [&](const QString& why) {
        say(err, why);
        std::fputs("Try 'quillmer-convert --help'.\n", err);
        return CommandResult{exitcode::Usage, 0};
    };
    if (!parsed.options)
        return usage(parsed.refusal);
    const CommandOptions& o = *parsed.options;

    GatheredJobs gathered = gatherJobs(o.sources);
    if (gathered.refusal)
        return usage(*gathered.refusal);
    const QList<BatchJob> jobs = shardOf(gathered.jobs, o.shardIndex, o.shardCount);

    const QString registryPath = platform::registryFileIn(programFolder);
    if (CheckExcelInstalled(Registry(registryPath)) == 0) {
        say(err, QStringLiteral("%1 names no LibreOffice; building the program writes it")
                     .arg(QDir::toNativeSeparators(registryPath)));
        return {exitcode::Failed, 0};
    }
    JsonLinesReport report;
    QString error;
    if (!o.report.isEmpty() && !report.open(QDir(workingDir).absoluteFilePath(o.report), &error))
        return usage(QStringLiteral("the report '%1' cannot be written (%2)").arg(o.report, error));

    removeLeftScratch();
    QTemporaryDir scratch(QDir::tempPath() +
                          QStringLiteral("/quillmer-convert-%1-XXXXXX").arg(::getpid()));
    if (!scratch.isValid()) {
        say(err, QStringLiteral("no scratch folder (%1)").arg(scratch.errorString()));
        return {exitcode::Failed, 0};
    }

    const BatchSettings settings = batchSettings(o, registryPath, scratch.path());
    ProgressOutput progress(out, terminal);
    Both observer(progress, o.report.isEmpty() ? nullptr : &report);
    const BatchSummary summary = runBatch(jobs, settings, observer);
    progress.finished(summary);
    if (summary.ended)
        say(err, QStringLiteral("the batch stopped after the failure above; %1 jobs not done")
                     .arg(summary.notDone));

    CommandResult result;
    result.signal = summary.signal;
    result.exitCode = summary.failed > 0 || summary.notDone > 0 ? exitcode::Failed : exitcode::Done;
    return result;
}

} // namespace quillmer::cli
