#include "printqueue/printerdriver.h"

#include "printqueue/ghostscriptcommand.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quillmer::printqueue {

namespace {

using Clock = std::chrono::steady_clock;

// Larger than ps2write's prolog: a file whose first object comes later gets
// no reader set-up, and prints as ps2write wrote it.
constexpr qsizetype HeadLimit = 4 * 1024 * 1024;
constexpr qsizetype Chunk = 64 * 1024;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether line (without its end) begins an object: "12 0 obj".
bool beginsObject(const char* line, qsizetype length)
{
    qsizetype i = 0;
    for (int number = 0; number < 2; ++number) {
        const qsizetype digits = i;
        while (i < length && isDigit(line[i]))
            ++i;
        if (i == digits || i >= length || line[i] != ' ')
            return false;
        ++i;
    }
    return length - i >= 3 && std::equal(line + i, line + i + 3, "obj") &&
           (length - i == 3 || line[i + 3] == ' ' || line[i + 3] == '<' || line[i + 3] == '[');
}

bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// The driver's PostScript on its way into the file: held back until the
// place of the set-up is known, then passed on as it comes. The set-up is
// the reader set-up followed by the print's page set-up.
class Sink
{
public:
    Sink(int fd, const QByteArray& readerSetup, const QByteArray& pageSetup)
        : m_fd(fd), m_readerSetup(readerSetup), m_pageSetup(pageSetup)
    {
    }

    bool write(const char* data, qsizetype size)
    {
        if (m_passing)
            return writeAll(m_fd, data, size);
        m_head.append(data, size);
        const qsizetype at = PrinterDriver::readerSetupPosition(m_head);
        if (at < 0 && m_head.size() < HeadLimit)
            return true;
        return flush(at);
    }

    bool finish() { return m_passing || flush(-1); }

private:
    bool flush(qsizetype at)
    {
        m_passing = true;
        const QByteArray head = std::exchange(m_head, QByteArray());
        if (at < 0)
            return writeAll(m_fd, head.constData(), head.size());
        return writeAll(m_fd, head.constData(), at) &&
               writeAll(m_fd, m_readerSetup.constData(), m_readerSetup.size()) &&
               writeAll(m_fd, m_pageSetup.constData(), m_pageSetup.size()) &&
               writeAll(m_fd, head.constData() + at, head.size() - at);
    }

    int m_fd;
    const QByteArray& m_readerSetup;
    const QByteArray& m_pageSetup;
    QByteArray m_head;
    bool m_passing = false;
};

// The driver's spool as Ghostscript opens it: its descriptor 3.
constexpr char SpoolName[] = "/dev/fd/3";

// Copies the file at fd from into to, from its start; false when it cannot.
bool copyFile(int from, int to)
{
    char buffer[Chunk];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || !writeAll(to, buffer, n))
            return false;
    }
}

struct FileDescriptor
{
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

qsizetype PrinterDriver::readerSetupPosition(const QByteArray& text)
{
    static constexpr char Resource[] = "%%BeginResource:";
    const char* data = text.constData();
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && data[end] != '\n' && data[end] != '\r')
            ++end;
        if (end == text.size())
            return -1; // a line not yet whole
        const qsizetype length = end - start;
        if ((length >= qsizetype(sizeof Resource - 1) &&
             std::equal(Resource, Resource + sizeof Resource - 1, data + start)) ||
            beginsObject(data + start, length))
            return start;
        start = end + 1;
    }
    return -1;
}

std::unique_ptr<PrinterDriver> PrinterDriver::start(const QString& gsPath,
                                                    const QByteArray& documentSetup,
                                                    const QByteArray& readerSetup,
                                                    ghostscript::SpoolReading reading, int* error)
{
    const int spool = ::memfd_create("quillmer-spool", MFD_CLOEXEC);
    if (spool < 0) {
        if (error)
            *error = errno;
        return nullptr;
    }
    auto scratch =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillmer-gs-XXXXXX"));
    if (!scratch->isValid()) {
        ::close(spool);
        if (error)
            *error = EACCES;
        return nullptr;
    }
    platform::ProcessOptions options;
    options.setEnvironment = {"TMPDIR=" + QFile::encodeName(scratch->path())};
    options.pipeInput = true;
    options.pipeOutput = true;
    options.inheritedFile = spool;
    // The older interpreter writes a notice that it is deprecated on every
    // run; it is not for the user.
    options.discardErrorOutput = reading.olderInterpreter;
    QStringList arguments = ghostscript::ps2writeArguments(QStringLiteral("-"), QStringLiteral("-"),
                                                           documentSetup, reading);
    // Ghostscript's own messages stay off the PostScript.
    arguments.insert(1, QStringLiteral("-sstdout=%stderr"));
    arguments.insert(1, QStringLiteral("--permit-file-read=") + QLatin1String(SpoolName));
    auto process = platform::Process::start(gsPath, arguments, options, error);
    if (!process) {
        ::close(spool);
        return nullptr;
    }
    for (int fd : {process->input(), process->output()})
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return std::unique_ptr<PrinterDriver>(new PrinterDriver(
        gsPath, std::move(scratch), std::move(process), spool, readerSetup, reading));
}

PrinterDriver::PrinterDriver(QString program, std::unique_ptr<QTemporaryDir> scratch,
                             std::unique_ptr<platform::Process> process, int spool,
                             QByteArray readerSetup, ghostscript::SpoolReading reading)
    : m_program(std::move(program)), m_scratch(std::move(scratch)), m_reading(reading),
      m_process(std::move(process)), m_spool(spool), m_readerSetup(std::move(readerSetup))
{
}

PrinterDriver::~PrinterDriver()
{
    if (m_process && !m_process->hasEnded()) {
        m_process->signal(SIGKILL);
        m_process->wait(-1);
    }
    ::close(m_spool);
}

bool PrinterDriver::waiting()
{
    return m_process && !m_process->wait(0) && m_process->input() >= 0;
}

PrinterDriver::Outcome PrinterDriver::print(const QString& spoolPdf, const QString& outputFile,
                                            std::chrono::milliseconds limit,
                                            const QByteArray& pageSetup)
{
    const auto deadline = Clock::now() + limit;
    const auto remaining = [&] {
        return std::max<qint64>(
            0,
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    };
    Outcome outcome;
    FileDescriptor spool{::open(QFile::encodeName(spoolPdf).constData(), O_RDONLY | O_CLOEXEC)};
    FileDescriptor output{::open(QFile::encodeName(outputFile).constData(),
                                 O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)};
    if (spool.fd < 0 || !copyFile(spool.fd, m_spool))
        outcome.failure = QStringLiteral("cannot read the spool");
    else if (output.fd < 0)
        outcome.failure = QStringLiteral("cannot write %1").arg(outputFile);

    Sink sink(output.fd, m_readerSetup, pageSetup);
    // What the driver is told on its standard input, and how much of it it has taken.
    const QByteArray pending = "(" + QByteArray(SpoolName) + ") run\n";
    qsizetype taken = 0;
    char buffer[Chunk];
    // Feed and drain at once: the driver may write before it has read all.
    while (outcome.failure.isEmpty() && (m_process->input() >= 0 || m_process->output() >= 0)) {
        const qint64 left = remaining();
        if (left == 0)
            break;
        pollfd fds[2];
        nfds_t count = 0;
        if (m_process->input() >= 0)
            fds[count++] = {m_process->input(), POLLOUT, 0};
        if (m_process->output() >= 0)
            fds[count++] = {m_process->output(), POLLIN, 0};
        if (::poll(fds, count, int(std::min<qint64>(left, 1000))) < 0 && errno != EINTR)
            break;
        for (nfds_t i = 0; i < count; ++i) {
            if (!fds[i].revents)
                continue;
            if (fds[i].fd == m_process->input()) {
                const ssize_t n = ::write(m_process->input(), pending.constData() + taken,
                                          size_t(pending.size() - taken));
                if (n > 0)
                    taken += n;
                // All said (the driver reads to the end), or the driver has
                // gone and its end tells why.
                if (taken == pending.size() || (n < 0 && errno != EAGAIN && errno != EINTR))
                    m_process->closeInput();
            } else {
                const ssize_t n = ::read(m_process->output(), buffer, sizeof buffer);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                    m_process->closeOutput();
                else if (n > 0 && !sink.write(buffer, n))
                    outcome.failure = QStringLiteral("cannot write %1").arg(outputFile);
            }
        }
    }
    if (outcome.failure.isEmpty() && m_process->output() < 0 && !sink.finish())
        outcome.failure = QStringLiteral("cannot write %1").arg(outputFile);
    m_process->closeInput();
    m_process->closeOutput();
    outcome.ended = outcome.failure.isEmpty() ? m_process->wait(remaining()) : false;
    if (!outcome.ended) {
        m_process->signal(SIGKILL);
        m_process->wait(-1);
    }
    outcome.exitCode = outcome.ended ? m_process->exitCode() : std::nullopt;
    return outcome;
}

} // namespace quillmer::printqueue
