#include "printqueue/transparency.h"

#include "platform/failure.h"
#include "platform/process.h"
#include "printqueue/ghostscriptcommand.h"

#include <QHash>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <limits>

namespace quillmer::printqueue::transparency {

namespace {

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

// Everything a run writes on its standard output before the deadline, at
// most maxBytes; throws platform::Failure when it fails, is late or writes
// more.
QByteArray output(const QString& gsPath, const QStringList& arguments,
                  const QDeadlineTimer& deadline, qsizetype maxBytes)
{
    platform::ProcessOptions options;
    options.pipeOutput = true;
    options.discardErrorOutput = true;
    return platform::Process::start(gsPath, arguments, options)->collectOutput(deadline, maxBytes);
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

namespace {

// A page's blocks, row by row.
struct Blocks
{
    int columns = 0, rows = 0;
    std::vector<char> values;
    char& at(int row, int column) { return values[std::size_t(row) * columns + column]; }
};

// How much each block changed: 0 not, 1 changed, 2 changed much.
Blocks changedBlocks(const GreyPage& with, const GreyPage& without)
{
    Blocks changed{with.width / Block, with.height / Block, {}};
    changed.values.assign(std::size_t(changed.columns) * changed.rows, 0);
    const auto grey = [](const GreyPage& page, int x, int y) {
        x = std::clamp(x, 0, page.width - 1);
        y = std::clamp(y, 0, page.height - 1);
        return int(static_cast<unsigned char>(page.pixels[qsizetype(y) * page.width + x]));
    };
    for (int row = 0; row < changed.rows; ++row)
        for (int column = 0; column < changed.columns; ++column) {
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
            changed.at(row, column) =
                moved > StrongTolerance * Block * Block ? 2 : moved > GreyTolerance * Block * Block;
        }
    return changed;
}

// Changed blocks at most two blocks apart make one group; a group where
// some block changed much is covered, each of its blocks with a block
// around it.
Blocks coveredBlocks(const Blocks& changed)
{
    const int columns = changed.columns, rows = changed.rows;
    Blocks covered{columns, rows, std::vector<char>(changed.values.size(), 0)};
    std::vector<char> seen(changed.values.size(), 0);
    std::vector<int> group, stack;
    for (int start = 0; start < columns * rows; ++start) {
        if (!changed.values[start] || seen[start])
            continue;
        bool strong = false;
        group.clear();
        stack = {start};
        seen[start] = 1;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            group.push_back(at);
            strong = strong || changed.values[at] == 2;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const int r = at / columns + dy, c = at % columns + dx;
                    const int next = r * columns + c;
                    if (r >= 0 && r < rows && c >= 0 && c < columns && changed.values[next] &&
                        !seen[next]) {
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
                    covered.at(r, c) = 1;
        }
    }
    return covered;
}

// The covered blocks as rectangles: runs along each row, a run that
// continues one of the row above joining it; in fractions of the page,
// counted from the bottom.
QList<QRectF> rectanglesOf(Blocks& covered)
{
    const int columns = covered.columns, rows = covered.rows;
    QList<QRectF> regions;
    QHash<std::pair<int, int>, qsizetype> open; // run (first, last column) to its region
    for (int row = 0; row < rows; ++row) {
        QHash<std::pair<int, int>, qsizetype> next;
        for (int column = 0; column < columns;) {
            if (!covered.at(row, column)) {
                ++column;
                continue;
            }
            int end = column;
            while (end + 1 < columns && covered.at(row, end + 1))
                ++end;
            const std::pair<int, int> run{column, end};
            const double bottom = 1.0 - (row + 1) / double(rows);
            if (const auto above = open.constFind(run); above != open.cend()) {
                regions[*above].setTop(bottom);
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

} // namespace

std::optional<QList<QRectF>> changedRegions(const GreyPage& with, const GreyPage& without)
{
    if (with.width != without.width || with.height != without.height || with.width < Block ||
        with.height < Block)
        return std::nullopt;
    Blocks covered = coveredBlocks(changedBlocks(with, without));
    return rectanglesOf(covered);
}

namespace {

// A JPEG's width and height, as its frame header gives them (libjpeg).
// Throws platform::Failure when it is not one.
std::pair<int, int> jpegSize(const QByteArray& jpeg)
{
    struct Errors
    {
        jpeg_error_mgr manager; // first: what libjpeg hands the handler
        std::jmp_buf failed;
    } errors;
    jpeg_decompress_struct info;
    info.err = jpeg_std_error(&errors.manager);
    // libjpeg's own handler ends the program: back here instead.
    errors.manager.error_exit = [](j_common_ptr common) {
        std::longjmp(reinterpret_cast<Errors*>(common->err)->failed, 1);
    };
    errors.manager.output_message = [](j_common_ptr) {};
    jpeg_create_decompress(&info);
    std::pair<int, int> size{0, 0};
    if (setjmp(errors.failed) == 0) {
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                     static_cast<unsigned long>(jpeg.size()));
        if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK)
            size = {int(info.image_width), int(info.image_height)};
    }
    jpeg_destroy_decompress(&info);
    if (size.first <= 0 || size.second <= 0)
        throw platform::Failure(QStringLiteral("a page picture is not a JPEG"));
    return size;
}

// At a printer's resolution, with smooth edges, as ps2write's own pictures
// are drawn at 300 dpi.
constexpr int PictureResolution = 300;

} // namespace

QList<Overlay> overlays(const QString& gsPath, const QString& original, const QString& pdf,
                        const QString& printed, const QDeadlineTimer& deadline, int maxPages,
                        qsizetype maxBytes)
{
    // A4 at the resolution is about 40 kB a page.
    const qsizetype maxGrey = qsizetype(maxPages) * 60 * 1024;
    const QList<GreyPage> with = readPgm(
        output(gsPath, ghostscript::greyPagesArguments(pdf, Resolution, false), deadline, maxGrey));
    const QList<GreyPage> without = readPgm(output(
        gsPath, ghostscript::greyPagesArguments(printed, Resolution, true), deadline, maxGrey));
    if (with.isEmpty() || with.size() != without.size())
        throw platform::Failure(QStringLiteral("the pages could not be compared"));
    QList<Overlay> result;
    for (qsizetype i = 0; i < with.size(); ++i) {
        const auto regions = changedRegions(with[i], without[i]);
        if (!regions)
            throw platform::Failure(QStringLiteral("the pages could not be compared"));
        if (!regions->isEmpty())
            result << Overlay{int(i + 1), *regions, QByteArray()};
    }
    qsizetype bytes = 0;
    for (Overlay& overlay : result) {
        overlay.jpeg = output(
            gsPath, ghostscript::pagePictureArguments(original, overlay.page, PictureResolution),
            deadline, maxBytes - bytes);
        jpegSize(overlay.jpeg); // a picture of the page, or the check fails
        bytes += overlay.jpeg.size();
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
