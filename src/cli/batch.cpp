#include "cli/batch.h"

#include "engine/pdfpages.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <ctime>
#include <deque>
#include <pthread.h>
#include <thread>

namespace quillmer::cli {

namespace {

// The signals that stop a batch, held back from every thread and taken by
// the batch's own loop. The threads started meanwhile (the workers, their
// offices' watchdogs, the UNO bridge) inherit the mask.
class StopSignals
{
public:
    StopSignals()
    {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGINT);
        sigaddset(&m_set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
    }
    ~StopSignals() { pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }

    // Waits up to ms for one of them; the signal, or 0.
    int wait(int ms)
    {
        const timespec timeout{0, long(ms) * 1000000};
        const int sig = ::sigtimedwait(&m_set, nullptr, &timeout);
        return sig > 0 ? sig : 0;
    }

private:
    sigset_t m_set, m_old;
};

struct Finished
{
    int serial;
    JobOutcome outcome;
};

// What the workers and the batch's loop share.
struct Shared
{
    std::mutex mutex;
    std::deque<int> queue; // serials of the jobs not yet handed out
    std::deque<Finished> finished;
    struct Slot
    {
        int serial = -1; // the job under way, or -1
        qint64 startedAt = 0;
        bool calledOff = false;
    };
    QList<Slot> places;
    int running = 0; // workers still taking jobs
};

// The serials of the jobs to convert, the largest workbooks first (so that
// the workers end together rather than one of them with a large workbook
// left to the end); the jobs --skip-existing keeps are reported skipped.
std::deque<int> queued(const QList<BatchJob>& jobs, const BatchSettings& settings,
                       BatchObserver& observer, BatchSummary& summary)
{
    std::deque<int> queue;
    for (int serial = 0; serial < jobs.size(); ++serial) {
        const QStringList kept =
            settings.skipExisting ? currentTargets(jobs[serial], settings.setup.request.splitSheets)
                                  : QStringList();
        if (kept.isEmpty()) {
            queue.push_back(serial);
            continue;
        }
        JobOutcome skipped;
        skipped.status = JobOutcome::Status::Skipped;
        for (const QString& pdf : kept) {
            skipped.pdfs << JobOutcome::Pdf{pdf, QString(), pdfPageCount(pdf)};
            skipped.pages += skipped.pdfs.last().pages;
        }
        ++summary.skipped;
        observer.jobDone(jobs[serial], skipped);
    }
    QList<qint64> sizes(jobs.size());
    for (const int serial : queue)
        sizes[serial] = QFileInfo(jobs[serial].source).size();
    std::stable_sort(queue.begin(), queue.end(), [&](int a, int b) { return sizes[a] > sizes[b]; });
    return queue;
}

// One worker's thread: jobs from the queue until it is empty, then the
// worker closed.
void takeJobs(Shared& shared, Worker& worker, int place, const QList<BatchJob>& jobs,
              const QElapsedTimer& clock)
{
    for (;;) {
        int serial;
        {
            std::lock_guard lock(shared.mutex);
            if (shared.queue.empty())
                break;
            serial = shared.queue.front();
            shared.queue.pop_front();
            shared.places[place] = {serial, clock.elapsed(), false};
        }
        JobOutcome outcome = worker.convert(jobs[serial], serial);
        std::lock_guard lock(shared.mutex);
        shared.places[place].serial = -1;
        if (outcome.endsBatch)
            shared.queue.clear();
        shared.finished.push_back({serial, std::move(outcome)});
    }
    worker.close();
    std::lock_guard lock(shared.mutex);
    --shared.running;
}

} // namespace

BatchSummary runBatch(const QList<BatchJob>& jobs, const BatchSettings& settings,
                      BatchObserver& observer)
{
    BatchSummary summary;
    StopSignals stops;
    QElapsedTimer clock;
    clock.start();
    observer.started(int(jobs.size()));

    Shared shared;
    shared.queue = queued(jobs, settings, observer, summary);

    const int count = int(qMin<qsizetype>(qMax(1, settings.workers), shared.queue.size()));
    std::vector<std::unique_ptr<Worker>> workers;
    for (int i = 0; i < count; ++i)
        workers.push_back(std::make_unique<Worker>(i + 1, settings.setup, settings.offices()));
    shared.places.resize(count);
    shared.running = count;

    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back([&, i] { takeJobs(shared, *workers[i], i, jobs, clock); });

    const qint64 timeout = settings.setup.timeout.count();
    for (;;) {
        const int sig = stops.wait(100);
        std::deque<Finished> finished;
        bool running;
        {
            std::lock_guard lock(shared.mutex);
            if (sig && !summary.signal) {
                summary.signal = sig;
                summary.notDone += int(shared.queue.size());
                shared.queue.clear();
                for (qsizetype i = 0; i < shared.places.size(); ++i)
                    if (shared.places[i].serial >= 0)
                        workers[i]->callOff(shared.places[i].serial, Worker::Reason::Interrupted);
            }
            for (qsizetype i = 0; i < shared.places.size(); ++i) {
                Shared::Slot& slot = shared.places[i];
                if (slot.serial >= 0 && !slot.calledOff &&
                    clock.elapsed() - slot.startedAt > timeout) {
                    slot.calledOff = true;
                    workers[i]->callOff(slot.serial, Worker::Reason::TimedOut);
                }
            }
            finished.swap(shared.finished);
            running = shared.running > 0;
        }
        for (const Finished& f : finished) {
            summary.ended = summary.ended || f.outcome.endsBatch;
            // After a stop, a failure is the stop's doing (Ctrl-C also reaches
            // Ghostscript): the job is not done.
            if (f.outcome.interrupted ||
                (summary.signal && f.outcome.status == JobOutcome::Status::Failed)) {
                ++summary.notDone;
                continue;
            }
            ++(f.outcome.status == JobOutcome::Status::Converted ? summary.converted
                                                                 : summary.failed);
            observer.jobDone(jobs[f.serial], f.outcome);
        }
        observer.tick();
        if (!running)
            break;
    }
    for (std::thread& t : threads)
        t.join();
    if (summary.ended)
        summary.notDone = int(jobs.size()) - summary.converted - summary.failed - summary.skipped;
    return summary;
}

} // namespace quillmer::cli
