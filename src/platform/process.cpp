#include "platform/process.h"

#include "platform/failure.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillmer::platform {

namespace {

// The environment of this process without the names unset and set, then
// the entries set ("NAME=value", kept alive by the caller).
std::vector<char*> environmentFor(const QList<QByteArray>& unset, const QList<QByteArray>& set)
{
    QList<QByteArray> names = unset;
    for (const QByteArray& entry : set)
        names.append(entry.left(entry.indexOf('=')));
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        const bool dropped = std::any_of(names.begin(), names.end(), [&](const QByteArray& name) {
            return std::strncmp(*e, name.constData(), size_t(name.size())) == 0 &&
                   (*e)[name.size()] == '=';
        });
        if (!dropped)
            envp.push_back(*e);
    }
    for (const QByteArray& entry : set)
        envp.push_back(const_cast<char*>(entry.constData()));
    envp.push_back(nullptr);
    return envp;
}

// The program's ends of its standard input and output pipes; -1 for /dev/null.
struct ChildPipes
{
    int input = -1;
    int output = -1;
    int inherited = -1; // above 3, to become the child's 3
};

// fork and exec, for what posix_spawn cannot do: a parent-death signal. The
// child makes only async-signal-safe calls; a failed exec reports its errno
// through a pipe. The pid, or -errno.
pid_t forkAndExec(char* const* argv, char* const* envp, const ProcessOptions& options,
                  const char* folder, ChildPipes pipes)
{
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0)
        return -errno;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int e = errno;
        ::close(errorPipe[0]);
        ::close(errorPipe[1]);
        return -e;
    }
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, options.parentDeathSignal);
        if (::getppid() != parent) // the parent died before the line above
            ::_exit(127);
        if (options.ownProcessGroup)
            ::setpgid(0, 0);
        const int in = pipes.input >= 0 ? pipes.input : ::open("/dev/null", O_RDONLY);
        const int null = ::open("/dev/null", O_WRONLY);
        const int out = pipes.output >= 0 ? pipes.output : null;
        if (in >= 0)
            ::dup2(in, 0);
        if (out >= 0)
            ::dup2(out, 1);
        if (null >= 0 && options.discardErrorOutput)
            ::dup2(null, 2);
        if (pipes.inherited >= 0)
            ::dup2(pipes.inherited, 3);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGCHLD, SIG_DFL);
        int e = 0;
        if (folder && ::chdir(folder) != 0)
            e = errno;
        if (e == 0) {
#ifdef SYS_close_range
            ::syscall(SYS_close_range, pipes.inherited >= 0 ? 4u : 3u, ~0u,
                      4u /* CLOSE_RANGE_CLOEXEC */);
#endif
            ::execve(argv[0], argv, envp);
            e = errno;
        }
        [[maybe_unused]] auto n = ::write(errorPipe[1], &e, sizeof e);
        ::_exit(127);
    }
    if (options.ownProcessGroup)
        ::setpgid(pid, pid); // also from here, so the group exists before any signal
    ::close(errorPipe[1]);
    int execError = 0;
    ssize_t n;
    do {
        n = ::read(errorPipe[0], &execError, sizeof execError);
    } while (n < 0 && errno == EINTR);
    ::close(errorPipe[0]);
    if (n == sizeof execError) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return -execError;
    }
    return pid;
}

pid_t spawn(char* const* argv, char* const* envp, const ProcessOptions& options, const char* folder,
            ChildPipes pipes)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (pipes.input >= 0)
        posix_spawn_file_actions_adddup2(&actions, pipes.input, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (options.discardErrorOutput)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (pipes.output >= 0)
        posix_spawn_file_actions_adddup2(&actions, pipes.output, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (folder)
        posix_spawn_file_actions_addchdir_np(&actions, folder);
    if (pipes.inherited >= 0)
        posix_spawn_file_actions_adddup2(&actions, pipes.inherited, 3);
    posix_spawn_file_actions_addclosefrom_np(&actions, pipes.inherited >= 0 ? 4 : 3);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (options.ownProcessGroup) {
        flags |= POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(&attr, 0);
    }
    posix_spawnattr_setflags(&attr, flags);

    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, &attr, argv, envp);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? pid : -rc;
}

} // namespace

std::unique_ptr<Process> Process::start(const QString& executable, const QStringList& arguments,
                                        const ProcessOptions& options)
{
    const auto cannotStart = [&](int error) {
        return Failure(QStringLiteral("cannot run '%1' (%2)")
                           .arg(QDir::toNativeSeparators(executable),
                                QString::fromLocal8Bit(std::strerror(error))));
    };
    if (executable.isEmpty())
        throw cannotStart(ENOENT);

    std::vector<QByteArray> storage;
    storage.reserve(arguments.size() + 1);
    storage.push_back(QFile::encodeName(executable));
    for (const QString& a : arguments)
        storage.push_back(a.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    const std::vector<char*> envp =
        environmentFor(options.unsetEnvironment, options.setEnvironment);
    const QByteArray folder = QFile::encodeName(options.workingFolder);
    const char* chdirTo = options.workingFolder.isEmpty() ? nullptr : folder.constData();

    // Each pipe: [0] the read end, [1] the write end; close-on-exec, so
    // the child keeps only the ends made its standard input and output.
    int inputPipe[2] = {-1, -1};
    int outputPipe[2] = {-1, -1};
    const auto closeAll = [&] {
        for (int fd : {inputPipe[0], inputPipe[1], outputPipe[0], outputPipe[1]})
            if (fd >= 0)
                ::close(fd);
    };
    if ((options.pipeInput && ::pipe2(inputPipe, O_CLOEXEC) != 0) ||
        (options.pipeOutput && ::pipe2(outputPipe, O_CLOEXEC) != 0)) {
        const int error = errno;
        closeAll();
        throw cannotStart(error);
    }
    // Kept above 3, so that making it the child's 3 clears its close-on-exec.
    int inherited = -1;
    if (options.inheritedFile >= 0 &&
        (inherited = ::fcntl(options.inheritedFile, F_DUPFD_CLOEXEC, 4)) < 0) {
        const int error = errno;
        closeAll();
        throw cannotStart(error);
    }
    const ChildPipes child{inputPipe[0], outputPipe[1], inherited};
    const pid_t pid = options.parentDeathSignal
                          ? forkAndExec(argv.data(), envp.data(), options, chdirTo, child)
                          : spawn(argv.data(), envp.data(), options, chdirTo, child);
    for (int& childEnd : {std::ref(inputPipe[0]), std::ref(outputPipe[1]), std::ref(inherited)})
        if (childEnd >= 0) {
            ::close(childEnd);
            childEnd = -1;
        }
    if (pid < 0) {
        closeAll();
        throw cannotStart(-pid);
    }
    return std::unique_ptr<Process>(
        new Process(pid, options.ownProcessGroup, inputPipe[1], outputPipe[0]));
}

Process::Process(pid_t pid, bool ownGroup, int input, int output)
    : m_pid(pid), m_ownGroup(ownGroup), m_input(input), m_output(output)
{
#ifdef SYS_pidfd_open
    m_pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
#endif
}

Process::~Process()
{
    closeInput();
    closeOutput();
    if (m_pidfd >= 0)
        ::close(m_pidfd);
    if (!m_ended && !reap(false)) {
        // Still running: reap it whenever it ends.
        const pid_t pid = m_pid;
        std::thread([pid] {
            int status;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }
}

void Process::closeInput()
{
    if (m_input >= 0)
        ::close(m_input);
    m_input = -1;
}

void Process::closeOutput()
{
    if (m_output >= 0)
        ::close(m_output);
    m_output = -1;
}

bool Process::reap(bool block)
{
    if (m_ended)
        return true;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == m_pid) {
        m_ended = true;
        m_status = status;
    } else if (r < 0 && errno == ECHILD) {
        // Reaped elsewhere: it has ended, its code is lost.
        m_ended = true;
        m_status = -1;
    }
    return m_ended;
}

bool Process::wait(qint64 msecs)
{
    if (m_ended)
        return true;
    if (msecs < 0)
        return reap(true);
    if (m_pidfd >= 0) {
        pollfd p{m_pidfd, POLLIN, 0};
        int r;
        do {
            r = ::poll(&p, 1, int(qMin<qint64>(msecs, INT_MAX)));
        } while (r < 0 && errno == EINTR);
        return reap(false);
    }
    // No process descriptor: look now and then.
    qint64 waited = 0;
    while (!reap(false) && waited < msecs) {
        const qint64 step = qMin<qint64>(10, msecs - waited);
        ::usleep(useconds_t(step * 1000));
        waited += step;
    }
    return m_ended;
}

std::optional<int> Process::exitCode() const
{
    if (!m_ended || m_status == -1 || !WIFEXITED(m_status))
        return std::nullopt;
    return WEXITSTATUS(m_status);
}

int Process::terminationSignal() const
{
    return m_ended && m_status != -1 && WIFSIGNALED(m_status) ? WTERMSIG(m_status) : 0;
}

void Process::signal(int sig)
{
    if (!m_ended)
        ::kill(m_pid, sig);
}

void Process::signalGroup(int sig)
{
    // The group can outlive its leader; its id stays reserved while any
    // member is left, so this never reaches someone else's group.
    if (m_ownGroup)
        ::kill(-m_pid, sig);
}

} // namespace quillmer::platform
