#pragma once

#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>

namespace quillmer::platform {

// A command line split the way CreateProcess splits one that comes without an
// application name.
struct CommandLine
{
    QString executable;    // the program to run, as found (or as written when none was found)
    QStringList arguments; // the arguments after it, without the program itself
    bool found = false;    // whether executable names an executable file
};

// Splits a command line:
// - a first token in double quotes is the executable;
// - otherwise each prefix that ends at a blank is tried in turn, shortest
//   first, then the whole line, until one names an executable file, so that
//   an unquoted path with spaces still works ("/opt/my tools/gs -q" finds
//   "/opt/my tools/gs" when "/opt/my" is not a program);
// - a name without a slash is looked up on PATH;
// - the rest is split by splitArguments().
CommandLine parseCommandLine(const QString& commandLine);

// Splits argument text by the Windows rules: blanks separate arguments
// outside double quotes; 2n backslashes before a quote give n backslashes and
// the quote opens or closes quoting; 2n+1 backslashes before a quote give n
// backslashes and a literal quote; other backslashes stand as they are; a
// doubled quote inside quotes is a literal quote.
QStringList splitArguments(const QString& text);

// How a program is started, beyond its arguments.
struct ProcessOptions
{
    QString workingFolder; // empty: this process's current folder
    // The program leads a process group of its own, so that signalGroup()
    // reaches whatever it starts in turn.
    bool ownProcessGroup = false;
    // A signal the kernel sends the program when the thread that started it
    // ends (also when this whole process ends, crashes or is killed); 0 for
    // none. Start such programs from a thread that lives as long as they may.
    int parentDeathSignal = 0;
    // Environment variables the program does not inherit.
    QList<QByteArray> unsetEnvironment;
    // "NAME=value" entries the program gets in place of its inherited ones.
    QList<QByteArray> setEnvironment{};
    // Standard error on /dev/null too, for a program that must show nothing.
    bool discardErrorOutput = false;
    // Standard input and standard output on pipes of this process's
    // (Process::input(), Process::output()) instead of /dev/null.
    bool pipeInput = false;
    bool pipeOutput = false;
    // A file of this process's that the program gets as its descriptor 3
    // (it may open it as /dev/fd/3); -1 for none.
    int inheritedFile = -1;
};

// A started program. The program gets no shell, standard input and output on
// /dev/null (or on pipes), standard error shared with this process (unless
// discarded), and no other open file of this process (but the one it
// inherits). A Process that is destroyed while its program still runs
// leaves it running and reaps it when it ends, so that it never stays a
// zombie.
class Process
{
public:
    // Starts executable with arguments. Throws Failure (platform/failure.h),
    // naming the program and the reason, when it cannot be started.
    static std::unique_ptr<Process> start(const QString& executable, const QStringList& arguments,
                                          const ProcessOptions& options);
    static std::unique_ptr<Process> start(const QString& executable, const QStringList& arguments,
                                          const QString& workingFolder)
    {
        ProcessOptions options;
        options.workingFolder = workingFolder;
        return start(executable, arguments, options);
    }

    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return m_pid; }

    // Waits until the program ends or msecs have passed (-1: no limit).
    // True when it has ended.
    bool wait(qint64 msecs);
    bool hasEnded() const { return m_ended; }
    // The exit code, once the program has ended by exiting.
    std::optional<int> exitCode() const;
    // The signal that ended the program, or 0.
    int terminationSignal() const;

    // This end of the program's standard input and output pipes (-1 when
    // there is none, or once closed). Both are closed with the Process.
    int input() const { return m_input; }
    int output() const { return m_output; }
    void closeInput();
    void closeOutput();

    // Reads the program's standard output as it comes, handing each piece
    // to take, until the program closes it; then closes this end. Throws
    // Failure (platform/failure.h) when the deadline passes first or a read
    // fails; what take throws passes on. The program may still run after.
    void drainOutput(const QDeadlineTimer& deadline,
                     const std::function<void(QByteArrayView)>& take);
    // Everything the program writes on its standard output, once it has
    // ended with exit code 0 within the deadline. Throws Failure when it
    // does not, or writes more than maxBytes; the program is then killed.
    QByteArray collectOutput(const QDeadlineTimer& deadline, qsizetype maxBytes);

    // Sends a signal to the program (nothing once it has ended).
    void signal(int sig);
    // Sends a signal to the program's process group, which outlives the
    // program when others are left in it. Only for ownProcessGroup.
    void signalGroup(int sig);

private:
    Process(pid_t pid, bool ownGroup, int input, int output);
    bool reap(bool block);

    pid_t m_pid;
    bool m_ownGroup = false;
    int m_pidfd = -1;
    int m_input = -1;
    int m_output = -1;
    bool m_ended = false;
    int m_status = 0;
};

} // namespace quillmer::platform
