#include "platform/transparency.h"

#include "platform/ghostscriptcommand.h"
#include "platform/process.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace quillmer::platform::transparency {

namespace {

using Clock = std::chrono::steady_clock;

// Low enough to be quick, high enough that a see-through square of a
// centimetre covers several blocks.
constexpr int Resolution = 20;
constexpr int Block = 2;
constexpr int GreyTolerance = 64;
constexpr int DifferentBlocksPerThousand = 1;

// Everything a run writes on its standard output within the deadline;
// nothing when it fails, is late, or writes more than maxBytes.
std::optional<QByteArray> output(const QString& gsPath, const QStringList& arguments,
                                 Clock::time_point deadline, qsizetype maxBytes)
{
    ProcessOptions options;
    options.pipeOutput = true;
    options.discardErrorOutput = true;
    auto process = Process::start(gsPath, arguments, options);
    if (!process)
        return std::nullopt;
    QByteArray data;
    char buffer[64 * 1024];
    bool failed = false;
    while (!failed) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{process->output(), POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, int(std::min<qint64>(left, 1000))) < 0) {
            failed = left <= 0 || errno != EINTR;
            continue;
        }
        if (!p.revents)
            continue;
        const ssize_t n = ::read(process->output(), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            failed = errno != EINTR;
            continue;
        }
        data.append(buffer, n);
        failed = data.size() > maxBytes;
    }
    process->closeOutput();
    if (failed ||
        !process->wait(std::max<qint64>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                   .count()))) {
        process->signal(SIGKILL);
        process->wait(-1);
        return std::nullopt;
    }
    if (process->exitCode() != 0)
        return std::nullopt;
    return data;
}

// The next whitespace-separated number of a PGM header at pos, skipping
// comments; -1 when there is none.
int headerNumber(const QByteArray& s, qsizetype& pos)
{
    for (;;) {
        while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos])))
            ++pos;
        if (pos < s.size() && s[pos] == '#') {
            while (pos < s.size() && s[pos] != '\n')
                ++pos;
            continue;
        }
        break;
    }
    int value = 0;
    const qsizetype start = pos;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && value < 1000000)
        value = value * 10 + (s[pos++] - '0');
    return pos > start ? value : -1;
}

} // namespace

bool used(const QString& pdf)
{
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    // Names a PDF writer spells with a space or a delimiter after them.
    for (const char* marker :
         {"/SMask", "/CA ", "/ca ", "/CA\n", "/ca\n", "/BM", "/Transparency", "/ObjStm"})
        if (data.contains(marker))
            return true;
    return false;
}

QList<GreyPage> readPgm(const QByteArray& stream)
{
    QList<GreyPage> pages;
    qsizetype pos = 0;
    while (pos < stream.size()) {
        if (stream.size() - pos < 2 || stream[pos] != 'P' || stream[pos + 1] != '5')
            return {};
        pos += 2;
        GreyPage page;
        page.width = headerNumber(stream, pos);
        page.height = headerNumber(stream, pos);
        const int maxGrey = headerNumber(stream, pos);
        if (page.width <= 0 || page.height <= 0 || maxGrey != 255 || pos >= stream.size())
            return {};
        ++pos; // the one white-space character before the pixels
        const qsizetype size = qsizetype(page.width) * page.height;
        if (stream.size() - pos < size)
            return {};
        page.pixels = stream.mid(pos, size);
        pos += size;
        pages << page;
    }
    return pages;
}

bool lookAlike(const QList<GreyPage>& a, const QList<GreyPage>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const GreyPage& p = a[i];
        const GreyPage& q = b[i];
        if (p.width != q.width || p.height != q.height)
            return false;
        const int columns = p.width / Block, rows = p.height / Block;
        qint64 different = 0;
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column) {
                int sum = 0;
                for (int y = 0; y < Block; ++y)
                    for (int x = 0; x < Block; ++x) {
                        const qsizetype at =
                            qsizetype(row * Block + y) * p.width + column * Block + x;
                        sum += static_cast<unsigned char>(p.pixels[at]) -
                               static_cast<unsigned char>(q.pixels[at]);
                    }
                if (std::abs(sum) > GreyTolerance * Block * Block)
                    ++different;
            }
        if (different * 1000 > qint64(columns) * rows * DifferentBlocksPerThousand)
            return false;
    }
    return true;
}

bool canBeDropped(const QString& gsPath, const QString& pdf, std::chrono::milliseconds limit,
                  int maxPages)
{
    const auto deadline = Clock::now() + limit;
    // A4 at the resolution is about 40 kB a page.
    const qsizetype maxBytes = qsizetype(maxPages) * 60 * 1024;
    const auto with =
        output(gsPath, ghostscript::greyPagesArguments(pdf, Resolution, false), deadline, maxBytes);
    if (!with)
        return false;
    const auto without =
        output(gsPath, ghostscript::greyPagesArguments(pdf, Resolution, true), deadline, maxBytes);
    if (!without)
        return false;
    const QList<GreyPage> a = readPgm(*with);
    return !a.isEmpty() && lookAlike(a, readPgm(*without));
}

} // namespace quillmer::platform::transparency
