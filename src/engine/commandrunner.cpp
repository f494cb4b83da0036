#include "engine/commandrunner.h"

#include "errors/apperror.h"
#include "platform/failure.h"
#include "platform/process.h"

#include <csignal>
#include <limits>

namespace quillmer {

bool ProcessCommandRunner::RunCommandAndWait(const QString& commandLine,
                                             const QString& workingFolder, qint32& waitTime,
                                             qint32 windowState, qint32 creationFlags)
{
    // The window state travels as a 16-bit show command; a hidden program
    // (show command 0) shows nothing, so its error output is discarded too.
    // The creation flags (a priority class) mean nothing to a Linux process.
    if (windowState < std::numeric_limits<qint16>::min() ||
        windowState > std::numeric_limits<qint16>::max())
        throw AppError(err::Overflow);
    Q_UNUSED(creationFlags);

    m_last = CommandOutcome();
    const platform::CommandLine parsed = platform::parseCommandLine(commandLine);
    if (!parsed.found)
        return false;
    std::unique_lock lock(m_mutex);
    if (m_stopped)
        return false;
    platform::ProcessOptions options;
    options.workingFolder = workingFolder;
    options.discardErrorOutput = windowState == HiddenWindow;
    std::unique_ptr<platform::Process> process;
    try {
        process = platform::Process::start(parsed.executable, parsed.arguments, options);
    } catch (const platform::Failure&) {
        return false; // not started: the caller's answer, nothing more
    }
    m_running = process.get();
    lock.unlock();
    m_last.started = true;
    m_last.pid = process->pid();
    m_last.ended = process->wait(waitTime < 0 ? -1 : qint64(waitTime));
    lock.lock();
    m_running = nullptr;
    lock.unlock();
    m_last.exitCode = process->exitCode();
    m_last.signal = process->terminationSignal();
    return true;
}

void ProcessCommandRunner::stop()
{
    std::lock_guard lock(m_mutex);
    m_stopped = true;
    if (m_running)
        m_running->signal(SIGKILL);
}

void ProcessCommandRunner::resume()
{
    std::lock_guard lock(m_mutex);
    m_stopped = false;
}

} // namespace quillmer
