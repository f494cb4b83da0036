#include "printqueue/printerdriver.h"

#include "platform/writeall.h"
#include "printqueue/ghostscriptcommand.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quillmer::printqueue {

namespace {

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

// The driver's PostScript on its way into the file: held back until the
// place of the set-up is known, then passed on as it comes. The set-up is
// the reader set-up followed by the print's page set-up.
class Sink
{
public:
    Sink(int fd, const QString& name, const QByteArray& readerSetup, const QByteArray& pageSetup)
        : m_fd(fd), m_name(name), m_readerSetup(readerSetup), m_pageSetup(pageSetup)
    {
    }

    void write(QByteArrayView data)
    {
        if (m_passing)
            return put(data);
        m_head.append(data);
        const auto at = PrinterDriver::readerSetupPosition(m_head);
        if (at || m_head.size() >= HeadLimit)
            flush(at);
    }

    void finish()
    {
        if (!m_passing)
            flush(std::nullopt);
    }

private:
    void put(QByteArrayView data)
    {
        if (!platform::writeAll(m_fd, data))
            throw platform::Failure(QStringLiteral("cannot write %1").arg(m_name));
    }

    void flush(std::optional<qsizetype> at)
    {
        m_passing = true;
        const QByteArray head = std::exchange(m_head, QByteArray());
        if (!at)
            return put(head);
        put(QByteArrayView(head).first(*at));
        put(m_readerSetup);
        put(m_pageSetup);
        put(QByteArrayView(head).sliced(*at));
    }

    int m_fd;
    const QString& m_name;
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
        if (n < 0 || !platform::writeAll(to, QByteArrayView(buffer, n)))
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

std::optional<qsizetype> PrinterDriver::readerSetupPosition(const QByteArray& text)
{
    static constexpr char Resource[] = "%%BeginResource:";
    const char* data = text.constData();
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && data[end] != '\n' && data[end] != '\r')
            ++end;
        if (end == text.size())
            return std::nullopt; // a line not yet whole
        const qsizetype length = end - start;
        if ((length >= qsizetype(sizeof Resource - 1) &&
             std::equal(Resource, Resource + sizeof Resource - 1, data + start)) ||
            beginsObject(data + start, length))
            return start;
        start = end + 1;
    }
    return std::nullopt;
}

std::unique_ptr<PrinterDriver> PrinterDriver::start(const QString& gsPath,
                                                    const QByteArray& documentSetup,
                                                    const QByteArray& readerSetup,
                                                    ghostscript::SpoolReading reading)
{
    const auto cannotStart = [&](int error) {
        return platform::Failure(QStringLiteral("cannot start %1 (%2)")
                                     .arg(gsPath, QString::fromLocal8Bit(std::strerror(error))));
    };
    const int spool = ::memfd_create("quillmer-spool", MFD_CLOEXEC);
    if (spool < 0)
        throw cannotStart(errno);
    auto scratch =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillmer-gs-XXXXXX"));
    if (!scratch->isValid()) {
        ::close(spool);
        throw cannotStart(EACCES);
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
    std::unique_ptr<platform::Process> process;
    try {
        process = platform::Process::start(gsPath, arguments, options);
    } catch (const platform::Failure&) {
        ::close(spool);
        throw;
    }
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

void PrinterDriver::print(const QString& spoolPdf, const QString& outputFile,
                          const QDeadlineTimer& deadline, const QByteArray& pageSetup)
{
    const FileDescriptor spool{
        ::open(QFile::encodeName(spoolPdf).constData(), O_RDONLY | O_CLOEXEC)};
    if (spool.fd < 0 || !copyFile(spool.fd, m_spool))
        throw platform::Failure(QStringLiteral("cannot read the spool"));
    const FileDescriptor output{::open(QFile::encodeName(outputFile).constData(),
                                       O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)};
    if (output.fd < 0)
        throw platform::Failure(QStringLiteral("cannot write %1").arg(outputFile));
    // Told what to print on its standard input, which it reads to the end.
    // A driver that has gone takes nothing; its end tells why.
    platform::writeAll(m_process->input(), "(" + QByteArray(SpoolName) + ") run\n");
    m_process->closeInput();
    Sink sink(output.fd, outputFile, m_readerSetup, pageSetup);
    try {
        m_process->drainOutput(deadline, [&](QByteArrayView piece) { sink.write(piece); });
        sink.finish();
        if (!m_process->wait(deadline.remainingTime()))
            throw platform::Failure(QStringLiteral("the printer did not finish in time"));
    } catch (const platform::Failure&) {
        // Late, or its output cannot be kept: it is ended here.
        m_process->signal(SIGKILL);
        m_process->wait(-1);
        throw;
    }
    if (m_process->terminationSignal())
        throw Killed(QStringLiteral("the printer driver ended with code -1"));
    if (m_process->exitCode() != 0)
        throw platform::Failure(QStringLiteral("the printer driver ended with code %1")
                                    .arg(m_process->exitCode().value_or(-1)));
}

} // namespace quillmer::printqueue
