#pragma once

#include "office/officeprofile.h"
#include "platform/process.h"

#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace quillmer::office {

// One soffice.bin: headless, listening on a pipe of its own, with a private
// folder (its profile and the print spools) that goes when the process does.
// It leads a process group of its own, which the kernel kills when the
// thread that launched it ends (so a crash of the program never leaves it
// behind), and a watchdog kills the group when a call overruns its deadline.
class OfficeProcess
{
public:
    using milliseconds = std::chrono::milliseconds;

    // Makes the private folder, with a copy of the prepared profile when
    // there is one. Throws platform::Failure when no folder can be made.
    explicit OfficeProcess(OfficeProfileTemplate profileTemplate = OfficeProfileTemplate());
    // Kills what is left of the office and removes its folder.
    ~OfficeProcess();
    OfficeProcess(const OfficeProcess&) = delete;
    OfficeProcess& operator=(const OfficeProcess&) = delete;

    // The office executable in its program folder; Failure when none.
    static QString executableIn(const QString& programFolder);

    // Starts the office, listening on pipeName. Failure when it cannot run.
    void launch(const QString& executable, const QString& pipeName);
    // Whether the office has ended since its launch; it is reaped then.
    bool hasEnded();
    // Waits up to limit for the office to end; true when it has.
    bool waitForEnd(milliseconds limit);
    // How it ended: its exit code, or nothing after a signal.
    std::optional<int> exitCode() const;
    QString howItEnded() const;
    // The office's process id, 0 once it has ended.
    pid_t pid() const;

    // Asks the group to end (SIGTERM); after grace, kills it. Reaped.
    void end(milliseconds grace);
    // Kills the group at once and reaps the office.
    void kill();
    // Only sends the group SIGKILL; safe from any thread, for a program
    // that is about to end.
    void killGroup();

    // The watchdog: once the deadline passes, the group is killed and
    // expired() stays true until the next arm().
    void arm(milliseconds limit);
    void disarm();
    bool expired() const { return m_expired; }

    // Whether the profile was copied from the prepared one.
    bool seeded() const { return m_seeded; }
    // After a start from the prepared profile failed: forgets that profile
    // and leaves a fresh one for the next launch.
    void replaceSeededProfile();
    // Kills what is left and removes the private folder, for good.
    void removeFolder();
    // Keeps the profile as the prepared one, after a clean end.
    void keepProfile() const { m_template.keep(profileFolder()); }

    QString profileFolder() const { return m_folder.filePath(QStringLiteral("profile")); }
    QString newSpoolPath()
    {
        return m_folder.filePath(QStringLiteral("spool-%1.pdf").arg(++m_spools));
    }

private:
    void watch();

    OfficeProfileTemplate m_template;
    QTemporaryDir m_folder;
    bool m_seeded = false;
    int m_spools = 0;
    std::unique_ptr<platform::Process> m_process;
    std::atomic<pid_t> m_group{0};

    std::mutex m_watchMutex;
    std::condition_variable m_watchWake;
    std::optional<std::chrono::steady_clock::time_point> m_deadline;
    bool m_stopWatch = false;
    std::atomic<bool> m_expired{false};
    std::thread m_watchThread;
};

} // namespace quillmer::office
