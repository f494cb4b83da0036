#include "printqueue/transparency.h"

#include "platform/process.h"
#include "printqueue/ghostscriptcommand.h"

#include <QFile>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace quillmer::printqueue::transparency {

namespace {

using Clock = std::chrono::steady_clock;

// Low enough to be quick, high enough that a see-through square of a
// centimetre covers several blocks.
constexpr int Resolution = 20;
constexpr int Block = 2;
// A block has changed when its mean grey moves by more than a sixteenth of
// the scale; a region of changed blocks needs the picture only when one of
// them moves by more than a quarter. Ghostscript draws thin lines a shade
// lighter on a page with transparency, which stays below that; a
// see-through corner gone black does not.
constexpr int GreyTolerance = 16;
constexpr int StrongTolerance = 64;

// Everything a run writes on its standard output within the deadline;
// nothing when it fails, is late, or writes more than maxBytes.
std::optional<QByteArray> output(const QString& gsPath, const QStringList& arguments,
                                 Clock::time_point deadline, qsizetype maxBytes)
{
    platform::ProcessOptions options;
    options.pipeOutput = true;
    options.discardErrorOutput = true;
    auto process = platform::Process::start(gsPath, arguments, options);
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

std::optional<QList<QRectF>> changedRegions(const GreyPage& with, const GreyPage& without)
{
    if (with.width != without.width || with.height != without.height || with.width < Block ||
        with.height < Block)
        return std::nullopt;
    const int columns = with.width / Block, rows = with.height / Block;
    // 0 unchanged, 1 changed, 2 changed much.
    std::vector<char> changed(std::size_t(columns) * rows, 0);
    const auto grey = [](const GreyPage& page, int x, int y) {
        x = std::clamp(x, 0, page.width - 1);
        y = std::clamp(y, 0, page.height - 1);
        return int(static_cast<unsigned char>(page.pixels[qsizetype(y) * page.width + x]));
    };
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            // Ghostscript places a picture a pixel apart with and without
            // transparency: a block that matches the page with transparency
            // a pixel away has not changed.
            int moved = std::numeric_limits<int>::max();
            for (int dy = -1; dy <= 1 && moved; ++dy)
                for (int dx = -1; dx <= 1 && moved; ++dx) {
                    int sum = 0;
                    for (int y = row * Block; y < (row + 1) * Block; ++y)
                        for (int x = column * Block; x < (column + 1) * Block; ++x)
                            sum += grey(with, x + dx, y + dy) - grey(without, x, y);
                    moved = std::min(moved, std::abs(sum));
                }
            changed[std::size_t(row) * columns + column] =
                moved > StrongTolerance * Block * Block ? 2 : moved > GreyTolerance * Block * Block;
        }
    // Changed blocks at most two blocks apart make one group; a group where
    // some block changed much is covered, each of its blocks with a block
    // around it.
    std::vector<char> covered(changed.size(), 0);
    std::vector<char> seen(changed.size(), 0);
    std::vector<int> group;
    for (int start = 0; start < columns * rows; ++start) {
        if (!changed[start] || seen[start])
            continue;
        bool strong = false;
        group.clear();
        std::vector<int> stack{start};
        seen[start] = 1;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            group.push_back(at);
            const int row = at / columns, column = at % columns;
            strong = strong || changed[at] == 2;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const int r = row + dy, c = column + dx;
                    if (r < 0 || r >= rows || c < 0 || c >= columns)
                        continue;
                    const int next = r * columns + c;
                    if (changed[next] && !seen[next]) {
                        seen[next] = 1;
                        stack.push_back(next);
                    }
                }
        }
        if (!strong)
            continue;
        for (const int at : group) {
            const int row = at / columns, column = at % columns;
            for (int r = std::max(0, row - 1); r <= std::min(rows - 1, row + 1); ++r)
                for (int c = std::max(0, column - 1); c <= std::min(columns - 1, column + 1); ++c)
                    covered[std::size_t(r) * columns + c] = 1;
        }
    }
    // The covered blocks as rectangles: runs along each row, a run that
    // continues one of the row above joining it; in fractions of the page,
    // counted from the bottom.
    QList<QRectF> regions;
    QHash<std::pair<int, int>, qsizetype> open; // run (first, last column) to its region
    for (int row = 0; row < rows; ++row) {
        QHash<std::pair<int, int>, qsizetype> next;
        for (int column = 0; column < columns;) {
            if (!covered[std::size_t(row) * columns + column]) {
                ++column;
                continue;
            }
            int end = column;
            while (end + 1 < columns && covered[std::size_t(row) * columns + end + 1])
                ++end;
            const std::pair<int, int> run{column, end};
            const double bottom = 1.0 - (row + 1) / double(rows);
            if (const auto above = open.constFind(run); above != open.cend()) {
                QRectF& region = regions[*above];
                region.setTop(bottom);
                next.insert(run, *above);
            } else {
                regions << QRectF(column / double(columns), bottom,
                                  (end + 1 - column) / double(columns), 1.0 / rows);
                next.insert(run, regions.size() - 1);
            }
            column = end + 1;
        }
        open = next;
    }
    return regions;
}

namespace {

// The width and height a JPEG's frame header gives; 0, 0 when none.
std::pair<int, int> jpegSize(const QByteArray& jpeg)
{
    qsizetype at = 2;
    while (at + 9 < jpeg.size()) {
        if (static_cast<unsigned char>(jpeg[at]) != 0xff) {
            ++at;
            continue;
        }
        const unsigned char marker = static_cast<unsigned char>(jpeg[at + 1]);
        if (marker >= 0xc0 && marker <= 0xc3) {
            const auto byte = [&](qsizetype i) { return int(static_cast<unsigned char>(jpeg[i])); };
            return {byte(at + 7) << 8 | byte(at + 8), byte(at + 5) << 8 | byte(at + 6)};
        }
        const int length = int(static_cast<unsigned char>(jpeg[at + 2])) << 8 |
                           static_cast<unsigned char>(jpeg[at + 3]);
        at += 2 + length;
    }
    return {0, 0};
}

// At a printer's resolution, with smooth edges, as ps2write's own pictures
// are drawn at 300 dpi.
constexpr int PictureResolution = 300;

} // namespace

std::optional<QList<Overlay>> overlays(const QString& gsPath, const QString& pdf,
                                       const QString& printed, std::chrono::milliseconds limit,
                                       int maxPages, qsizetype maxBytes)
{
    const auto deadline = Clock::now() + limit;
    // A4 at the resolution is about 40 kB a page.
    const qsizetype maxGrey = qsizetype(maxPages) * 60 * 1024;
    const auto with =
        output(gsPath, ghostscript::greyPagesArguments(pdf, Resolution, false), deadline, maxGrey);
    const auto without =
        with ? output(gsPath, ghostscript::greyPagesArguments(printed, Resolution, true), deadline,
                      maxGrey)
             : std::nullopt;
    if (!without)
        return std::nullopt;
    const QList<GreyPage> a = readPgm(*with), b = readPgm(*without);
    if (a.isEmpty() || a.size() != b.size())
        return std::nullopt;
    QList<Overlay> result;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const auto regions = changedRegions(a[i], b[i]);
        if (!regions)
            return std::nullopt;
        if (!regions->isEmpty())
            result << Overlay{int(i + 1), *regions, QByteArray()};
    }
    qsizetype bytes = 0;
    for (Overlay& overlay : result) {
        const auto jpeg =
            output(gsPath, ghostscript::pagePictureArguments(pdf, overlay.page, PictureResolution),
                   deadline, maxBytes - bytes);
        if (!jpeg || jpegSize(*jpeg).first == 0)
            return std::nullopt;
        overlay.jpeg = *jpeg;
        bytes += jpeg->size();
    }
    return result;
}

QByteArray overlayPostScript(const QList<Overlay>& overlays)
{
    if (overlays.isEmpty())
        return QByteArray();
    // The pictures, page number to [width height [strings] [x y w h ...]],
    // each picture in strings short enough for any interpreter.
    QByteArray ps = "\nuserdict begin\n/QuillmerOverlays " + QByteArray::number(overlays.size()) +
                    " dict def\n";
    for (const Overlay& overlay : overlays) {
        const auto [width, height] = jpegSize(overlay.jpeg);
        ps += "QuillmerOverlays " + QByteArray::number(overlay.page) + " [ " +
              QByteArray::number(width) + ' ' + QByteArray::number(height) + " [\n";
        for (qsizetype at = 0; at < overlay.jpeg.size(); at += 32768) {
            const QByteArray hex = overlay.jpeg.mid(at, 32768).toHex();
            ps += '<';
            for (qsizetype line = 0; line < hex.size(); line += 128)
                ps += hex.mid(line, 128) + '\n';
            ps += ">\n";
        }
        ps += "] [";
        for (const QRectF& r : overlay.regions)
            ps += ' ' + QByteArray::number(r.x(), 'f', 5) + ' ' +
                  QByteArray::number(r.y(), 'f', 5) + ' ' + QByteArray::number(r.width(), 'f', 5) +
                  ' ' + QByteArray::number(r.height(), 'f', 5);
        ps += " ] ] put\n";
    }
    // The page count lives in global VM: a page's own save and restore must
    // not take it back.
    ps += R"ps(/QuillmerVars 4 dict def
/QuillmerEndPage currentpagedevice /EndPage get def
/QuillmerOverlay {
  QuillmerOverlays globaldict /QuillmerPage get known {
    gsave initgraphics QuillmerVars begin
    QuillmerOverlays globaldict /QuillmerPage get get aload pop
    currentpagedevice /PageSize get aload pop scale
    rectclip
    /data exch def /h exch def /w exch def
    /next 0 def
    /DeviceRGB setcolorspace
    << /ImageType 1 /Width w /Height h /BitsPerComponent 8
       /Decode [0 1 0 1 0 1] /ImageMatrix [w 0 0 h neg 0 h]
       /DataSource { QuillmerVars begin next data length lt
           { data next get /next next 1 add def } { () } ifelse end }
         /DCTDecode filter >> image
    end grestore
  } if
} bind def
end
globaldict /QuillmerPage 1 put
<< /EndPage { dup 0 eq { QuillmerOverlay globaldict /QuillmerPage 2 copy get 1 add put } if
              QuillmerEndPage } bind >> setpagedevice
)ps";
    return ps;
}

} // namespace quillmer::printqueue::transparency
