#pragma once

#include "cli/batchjobs.h"
#include "cli/offices.h"
#include "cli/worker.h"

#include <QList>

namespace quillmer::cli {

// What watches a batch: the report and the terminal. Called on the thread
// that runs the batch only.
class BatchObserver
{
public:
    virtual ~BatchObserver() = default;
    virtual void started(int total) = 0;
    // A job that converted, failed or was skipped (an interrupted one is not
    // done and is not reported).
    virtual void jobDone(const BatchJob& job, const JobOutcome& outcome) = 0;
    // About every tenth of a second while the batch runs.
    virtual void tick() {}
};

struct BatchSettings
{
    int workers = 1;
    WorkerSetup setup;
    WorkerOfficesFactory offices; // one supply per worker
    bool skipExisting = false;
};

struct BatchSummary
{
    int converted = 0, failed = 0, skipped = 0;
    int notDone = 0;    // jobs left or called off by a stop
    int signal = 0;     // SIGINT or SIGTERM that stopped the batch, else 0
    bool ended = false; // a conversion asked the program to end
};

// Converts the jobs with settings.workers workers in parallel, each on a
// thread of its own, handing out the largest workbooks first (the list's
// order among equals). A job that runs
// past the time-out is called off (its office killed) and fails; the other
// jobs go on. SIGINT or SIGTERM stops the batch: no new job starts, the
// running ones are called off, and the call returns once every worker has
// ended, with no office left. The calling thread takes the two signals for
// the duration: no other thread of the program may take them.
BatchSummary runBatch(const QList<BatchJob>& jobs, const BatchSettings& settings,
                      BatchObserver& observer);

} // namespace quillmer::cli
