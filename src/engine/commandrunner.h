#pragma once

#include <QString>
#include <mutex>
#include <optional>
#include <sys/types.h>

namespace quillmer::platform {
class Process;
}

namespace quillmer {

// The window state that shows the program nothing (the show command
// SW_HIDE): its error output is discarded too.
constexpr qint32 HiddenWindow = 0;

// What became of the last command a runner started.
struct CommandOutcome
{
    bool started = false;
    bool ended = false;          // it ended within the wait
    std::optional<int> exitCode; // when it ended by exiting
    int signal = 0;              // the signal that ended it, if one did
    pid_t pid = 0;

    // Ended on its own with exit code 0.
    bool succeeded() const { return ended && exitCode == 0; }
};

// Starts an external program and waits for it (module ModCreateProcess).
class CommandRunner
{
public:
    virtual ~CommandRunner() = default;

    // Starts commandLine (program path and arguments in one text, split as
    // CreateProcess splits it, never through a shell) in workingFolder and
    // waits waitTime milliseconds for it to end (-1: no limit). True when the
    // program started, whether or not it ended or succeeded; false when it
    // could not be started. windowState must fit a 16-bit integer (else
    // AppError 6, Overflow); it and creationFlags have no effect here.
    virtual bool RunCommandAndWait(const QString& commandLine, const QString& workingFolder,
                                   qint32& waitTime, qint32 windowState, qint32 creationFlags) = 0;

    // The outcome of the last RunCommandAndWait, so that a program that
    // started but failed can be told from one that worked.
    virtual CommandOutcome lastOutcome() const = 0;
};

// The runner on posix_spawn. A program still running when the wait runs out
// goes on, and is reaped when it ends.
class ProcessCommandRunner : public CommandRunner
{
public:
    bool RunCommandAndWait(const QString& commandLine, const QString& workingFolder,
                           qint32& waitTime, qint32 windowState, qint32 creationFlags) override;
    CommandOutcome lastOutcome() const override { return m_last; }

    // Kills the command under way, from any thread, and starts no other
    // (RunCommandAndWait answers false) until resume(): a conversion that is
    // called off runs nothing more.
    void stop();
    void resume();

private:
    CommandOutcome m_last;
    std::mutex m_mutex;
    platform::Process* m_running = nullptr;
    bool m_stopped = false;
};

} // namespace quillmer
