#include "platform/process.h"

#include <QByteArray>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillmer::platform {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isExecutableFile(const QByteArray& path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.constData(), X_OK) == 0;
}

// The file a program name stands for: itself when it holds a slash,
// otherwise the first match on PATH.
std::optional<QString> findExecutable(const QString& name)
{
    if (name.isEmpty())
        return std::nullopt;
    if (name.contains(u'/'))
        return isExecutableFile(QFile::encodeName(name)) ? std::optional(name) : std::nullopt;
    const QByteArray path = qgetenv("PATH");
    for (const QByteArray& dir : path.split(':')) {
        const QByteArray candidate =
            (dir.isEmpty() ? QByteArray(".") : dir) + '/' + QFile::encodeName(name);
        if (isExecutableFile(candidate))
            return QFile::decodeName(candidate);
    }
    return std::nullopt;
}

} // namespace

QStringList splitArguments(const QString& text)
{
    QStringList out;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text[i];
        if (c == u'\\') {
            qsizetype count = 0;
            while (i < n && text[i] == u'\\') {
                ++count;
                ++i;
            }
            inArgument = true;
            if (i < n && text[i] == u'"') {
                current += QString(count / 2, u'\\');
                if (count % 2 == 1) {
                    current += u'"';
                    ++i;
                }
                // An even count leaves the quote for the next round.
            } else {
                current += QString(count, u'\\');
            }
            continue;
        }
        if (c == u'"') {
            inArgument = true;
            if (quoted && i + 1 < n && text[i + 1] == u'"') {
                current += u'"';
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        if (isBlank(c) && !quoted) {
            if (inArgument) {
                out << current;
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        current += c;
        inArgument = true;
        ++i;
    }
    if (inArgument)
        out << current;
    return out;
}

CommandLine parseCommandLine(const QString& commandLine)
{
    CommandLine result;
    qsizetype start = 0;
    while (start < commandLine.size() && isBlank(commandLine[start]))
        ++start;
    const QString line = commandLine.mid(start);

    if (line.startsWith(u'"')) {
        const qsizetype close = line.indexOf(u'"', 1);
        const QString name = close < 0 ? line.mid(1) : line.mid(1, close - 1);
        const QString rest = close < 0 ? QString() : line.mid(close + 1);
        const auto found = findExecutable(name);
        result.executable = found.value_or(name);
        result.found = found.has_value();
        result.arguments = splitArguments(rest);
        return result;
    }

    // Shortest prefix ending at a blank first, then the whole line.
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && !isBlank(line[i]))
            continue;
        const QString name = line.left(i);
        if (name.isEmpty() || (i > 0 && isBlank(line[i - 1])))
            continue;
        if (const auto found = findExecutable(name)) {
            result.executable = *found;
            result.found = true;
            result.arguments = splitArguments(line.mid(i));
            return result;
        }
    }
    // Nothing runs: report the first token.
    qsizetype end = 0;
    while (end < line.size() && !isBlank(line[end]))
        ++end;
    result.executable = line.left(end);
    result.arguments = splitArguments(line.mid(end));
    return result;
}

std::unique_ptr<Process> Process::start(const QString& executable, const QStringList& arguments,
                                        const QString& workingFolder, int* errorCode)
{
    auto fail = [&](int error) -> std::unique_ptr<Process> {
        if (errorCode)
            *errorCode = error;
        return nullptr;
    };
    if (executable.isEmpty())
        return fail(ENOENT);

    std::vector<QByteArray> storage;
    storage.reserve(arguments.size() + 1);
    storage.push_back(QFile::encodeName(executable));
    for (const QString& a : arguments)
        storage.push_back(a.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const QByteArray folder = QFile::encodeName(workingFolder);
    if (!workingFolder.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return fail(rc);
    if (errorCode)
        *errorCode = 0;
    return std::unique_ptr<Process>(new Process(pid));
}

Process::Process(pid_t pid) : m_pid(pid)
{
#ifdef SYS_pidfd_open
    m_pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
#endif
}

Process::~Process()
{
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

} // namespace quillmer::platform
