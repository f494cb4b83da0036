#pragma once

#include "office/libreofficehost.h"
#include "office/spreadsheethost.h"

#include <QString>
#include <chrono>
#include <memory>
#include <mutex>
#include <sys/types.h>

namespace quillmer::office {

// LibreOffice hosts that share one office from job to job, as office-pool
// servers keep theirs. A host's Quit leaves the office running when it is
// alive, holds no open document, answers, and has served fewer than
// jobsPerOffice hosts (0: no limit); otherwise it ends the office, and the
// next create() starts a new one. A dead office (killed on a time-out, or
// crashed) is never handed out again. The office is started on the thread
// that calls create(), and dies with that thread, so one thread should make
// all of the hosts.
class ReusedOfficeHosts final : public SpreadsheetHostFactory
{
public:
    using milliseconds = std::chrono::milliseconds;

    // prepareDriver: each host's printer driver starts as the host is
    // handed out, for jobs that print.
    ReusedOfficeHosts(QString registryPath, int jobsPerOffice,
                      milliseconds timeLimit = LibreOfficeHost::DefaultTimeLimit,
                      bool prepareDriver = true);
    // Ends the office.
    ~ReusedOfficeHosts() override;

    std::unique_ptr<SpreadsheetHost> create() override;
    // Ends the office now, so that the next host gets a new one; for a job
    // that did not convert. Not while a host is in use.
    void retire();
    // The office, 0 when none runs.
    pid_t processId() const;

private:
    bool keep(const OfficeInstance* office);

    LibreOfficeHostFactory m_fresh;
    int m_jobsPerOffice;
    bool m_prepareDriver;
    std::shared_ptr<OfficeInstance> m_office;
    int m_served = 0;
};

} // namespace quillmer::office
