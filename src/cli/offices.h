#pragma once

#include "office/libreofficehost.h"
#include "office/reusedoffice.h"
#include "office/spareoffice.h"
#include "office/spreadsheethost.h"

#include <QList>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/types.h>

namespace quillmer::cli {

// Where one worker gets its offices. The conversion calls create() on the
// worker's own thread (at its step 3, and again after error 429); an office
// lives no longer than the thread that started it, so a supply that keeps
// an office from one job to the next must start it there too.
class WorkerOffices : public office::SpreadsheetHostFactory
{
public:
    // After killOffices(), refuses with AppError 429 until the job ends.
    std::unique_ptr<office::SpreadsheetHost> create() override = 0;
    // The job under way has ended, on the worker's thread: converted, or not
    // (it failed, timed out, was interrupted or its office crashed). A supply
    // that reuses its office replaces it after any job that did not convert.
    virtual void jobEnded(bool converted) = 0;
    // Kills the offices of the job under way at once (time-out, interrupt);
    // from any thread.
    virtual void killOffices() noexcept = 0;
    // Ends every office the supply keeps, on the worker's thread after its
    // last job.
    virtual void close() {}
    // Before a job: forget the peak of the jobs before.
    virtual void resetPeak() = 0;
    // After it: the highest resident memory an office of the job reached,
    // in MiB; -1 when none could be read (its office was killed).
    virtual double peakMb() const = 0;
};

// Makes each worker's supply; called once per worker.
using WorkerOfficesFactory = std::function<std::unique_ptr<WorkerOffices>()>;

// The office processes of the job under way, so that another thread can
// kill them, and whether it has: a called-off job gets no new office.
class OfficeWatch
{
public:
    // Notes the office of host, or kills it at once when the job was called
    // off (then throws AppError 429).
    void watch(office::LibreOfficeHost& host);
    void forget(pid_t office);
    void killAll() noexcept;
    bool calledOff() const;
    void reset();
    // The office's peak so far, kept before it ends or is handed back.
    void notePeak(pid_t office);
    void resetPeak();
    double peakMb() const;

private:
    mutable std::mutex m_mutex;
    QList<pid_t> m_offices;
    bool m_calledOff = false;
    qint64 m_peakKiB = -1;
};

// A fresh office for every job, as the window has: each host ended by the
// conversion itself, the next job's office started ahead while a job
// converts (SpareOfficeHosts).
class FreshOffices final : public WorkerOffices
{
public:
    FreshOffices(const QString& registryPath, std::chrono::milliseconds timeLimit);

    std::unique_ptr<office::SpreadsheetHost> create() override;
    void jobEnded(bool converted) override;
    void killOffices() noexcept override { m_watch.killAll(); }
    void close() override { m_hosts.end(); }
    void resetPeak() override { m_watch.resetPeak(); }
    double peakMb() const override { return m_watch.peakMb(); }

private:
    office::SpareOfficeHosts m_hosts;
    OfficeWatch m_watch;
};

// One office for up to jobsPerOffice jobs in a row (0: no limit), replaced
// after any job that did not convert and whenever it has died
// (ReusedOfficeHosts).
class ReusedOffices final : public WorkerOffices
{
public:
    // The number of jobs an office serves by default.
    static constexpr int DefaultJobsPerOffice = 50;

    // printing: the jobs print through the printer queue, so each job's
    // printer driver is started as its office is handed out.
    ReusedOffices(const QString& registryPath, std::chrono::milliseconds timeLimit,
                  int jobsPerOffice = DefaultJobsPerOffice, bool printing = true);

    std::unique_ptr<office::SpreadsheetHost> create() override;
    void jobEnded(bool converted) override;
    void killOffices() noexcept override { m_watch.killAll(); }
    void close() override { m_hosts.retire(); }
    void resetPeak() override { m_watch.resetPeak(); }
    double peakMb() const override { return m_watch.peakMb(); }
    // The office kept for the next job, 0 when none is.
    pid_t processId() const { return m_hosts.processId(); }

private:
    office::ReusedOfficeHosts m_hosts;
    OfficeWatch m_watch;
};

} // namespace quillmer::cli
