#include "cli/offices.h"

#include "errors/apperror.h"
#include "platform/residentmemory.h"

#include <csignal>

namespace quillmer::cli {

namespace {

AppError calledOffError()
{
    return AppError(err::CannotCreateObject,
                    QStringLiteral("ActiveX component can't create object: the job was called "
                                   "off"));
}

// A host whose office the watch knows until it is ended.
class WatchedHost final : public office::SpreadsheetHost
{
public:
    WatchedHost(std::unique_ptr<office::SpreadsheetHost> host, pid_t office, OfficeWatch& watch)
        : m_host(std::move(host)), m_office(office), m_watch(watch)
    {
    }
    ~WatchedHost() override
    {
        m_watch.notePeak(m_office);
        m_watch.forget(m_office);
    }

    std::shared_ptr<office::Workbook> WorkbooksOpen(const QString& path) override
    {
        return m_host->WorkbooksOpen(path);
    }
    std::shared_ptr<office::Workbook> WorkbooksOpen(const QString& path,
                                                    const office::OptionalArg& password) override
    {
        return m_host->WorkbooksOpen(path, password);
    }
    std::shared_ptr<office::Workbook> ActiveWorkbook() override { return m_host->ActiveWorkbook(); }
    QString ActivePrinter() const override { return m_host->ActivePrinter(); }
    void setActivePrinter(const QString& deviceName) override
    {
        m_host->setActivePrinter(deviceName);
    }
    void Quit() override
    {
        m_watch.notePeak(m_office);
        m_watch.forget(m_office); // before it ends, so no kill can meet a reused number
        m_host->Quit();
    }

private:
    std::unique_ptr<office::SpreadsheetHost> m_host;
    pid_t m_office;
    OfficeWatch& m_watch;
};

} // namespace

void OfficeWatch::watch(office::LibreOfficeHost& host)
{
    std::lock_guard lock(m_mutex);
    const pid_t office = host.processId();
    if (m_calledOff) {
        if (office > 0)
            ::kill(-office, SIGKILL);
        throw calledOffError();
    }
    if (office > 0) {
        m_offices << office;
        // A kept office's peak would still be an earlier job's.
        platform::resetPeakResident(office);
    }
}

void OfficeWatch::forget(pid_t office)
{
    std::lock_guard lock(m_mutex);
    m_offices.removeAll(office);
}

void OfficeWatch::killAll() noexcept
{
    std::lock_guard lock(m_mutex);
    m_calledOff = true;
    // Each office leads a process group of its own.
    for (const pid_t office : m_offices)
        ::kill(-office, SIGKILL);
}

bool OfficeWatch::calledOff() const
{
    std::lock_guard lock(m_mutex);
    return m_calledOff;
}

void OfficeWatch::reset()
{
    std::lock_guard lock(m_mutex);
    m_calledOff = false;
}

void OfficeWatch::notePeak(pid_t office)
{
    const auto kib = platform::peakResidentKiB(office);
    std::lock_guard lock(m_mutex);
    if (kib && m_offices.contains(office))
        m_peakKiB = qMax(m_peakKiB, *kib);
}

void OfficeWatch::resetPeak()
{
    std::lock_guard lock(m_mutex);
    m_peakKiB = -1;
}

double OfficeWatch::peakMb() const
{
    std::lock_guard lock(m_mutex);
    return m_peakKiB < 0 ? -1 : qRound(m_peakKiB / 1024.0 * 10) / 10.0;
}

namespace {

// The host, its office noted by the watch until it is ended.
std::unique_ptr<office::SpreadsheetHost> watched(std::unique_ptr<office::SpreadsheetHost> host,
                                                 OfficeWatch& watch)
{
    auto* office = dynamic_cast<office::LibreOfficeHost*>(host.get());
    if (!office)
        return host;
    watch.watch(*office);
    const pid_t pid = office->processId();
    return std::make_unique<WatchedHost>(std::move(host), pid, watch);
}

} // namespace

FreshOffices::FreshOffices(const QString& registryPath, std::chrono::milliseconds timeLimit)
    : m_hosts(registryPath, timeLimit)
{
    m_hosts.prepare();
}

std::unique_ptr<office::SpreadsheetHost> FreshOffices::create()
{
    if (m_watch.calledOff())
        throw calledOffError();
    return watched(m_hosts.create(), m_watch);
}

void FreshOffices::jobEnded(bool)
{
    m_watch.reset();
}

ReusedOffices::ReusedOffices(const QString& registryPath, std::chrono::milliseconds timeLimit,
                             int jobsPerOffice, bool printing)
    : m_hosts(registryPath, jobsPerOffice, timeLimit, printing)
{
}

std::unique_ptr<office::SpreadsheetHost> ReusedOffices::create()
{
    if (m_watch.calledOff())
        throw calledOffError();
    return watched(m_hosts.create(), m_watch);
}

void ReusedOffices::jobEnded(bool converted)
{
    if (!converted)
        m_hosts.retire();
    m_watch.reset();
}

} // namespace quillmer::cli
