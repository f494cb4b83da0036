#pragma once

#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QString>
#include <chrono>
#include <optional>

namespace quillmer::printqueue {

// PostScript has no transparency. A spool page that uses it (a picture with
// an alpha channel, a see-through fill) is drawn by ps2write as one picture
// of the whole page, and its text is lost. The queue does better: it prints
// the spool without transparency, which keeps every page's text and vector
// drawing, and lays a picture of the page as it should look over the places
// where dropping the transparency changes the look (a chart with
// see-through corners). The text under such a picture stays in the PDF.
namespace transparency {

// Whether the PDF uses transparency anywhere: soft masks, constant alpha,
// blend modes or transparency groups. Reads the file's bytes; a PDF whose
// objects are compressed into object streams counts as using it.
bool used(const QString& pdf);

// One page drawn in grey, a byte a pixel.
struct GreyPage
{
    int width = 0;
    int height = 0;
    QByteArray pixels;
};

// The pages of a stream of binary PGM images (Ghostscript's pgmraw); empty
// when the stream is not one.
QList<GreyPage> readPgm(const QByteArray& stream);

// Where two renderings of a page differ: the blocks of 2 x 2 pixels whose
// mean grey differs by more than 16 levels from that of the same block in
// with and of the blocks a pixel away from it (a picture drawn a pixel
// apart has not changed), in groups of blocks at most two apart, where at
// least one block of the group differs by more than 64; each such block with the blocks around it,
// as rectangles (runs of blocks along a row, joined with the same run of the rows above) in
// fractions of the page (x and y from the bottom left, as PostScript counts). Only those places get
// a picture; the rest of the page stays drawn as vectors. Empty when they look alike, nothing when
// their sizes differ.
std::optional<QList<QRectF>> changedRegions(const GreyPage& with, const GreyPage& without);

// A page whose look changes without transparency: where, and the page as
// it should look (a JPEG at 300 dpi).
struct Overlay
{
    int page = 0; // from 1
    QList<QRectF> regions;
    QByteArray jpeg;
};

// Soft-masked pictures (a chart with see-through corners, a logo with
// smooth edges) laid over white ahead of the print: pdf written to output
// with each 8-bit grey or RGB picture blended with its soft mask against
// white and the mask gone. Printed without transparency, such a picture
// keeps its own resolution and looks as it did wherever white lay under
// it; where something else did, overlays() finds the change. The number of
// pictures blended; 0 when there are none (output not written), -1 when
// the PDF cannot be read or output written.
int flattenImages(const QString& pdf, const QString& output);

// The overlays that printing a PDF without transparency needs: where
// printed (pdf, or a rewrite of it such as flattenImages() writes) drawn
// without transparency looks other than pdf with it, pictures of pdf drawn
// by Ghostscript at gsPath within limit. None when they look the same.
// Nothing when it cannot tell (Ghostscript fails, the limit passes, more
// than maxPages pages, more than maxBytes of pictures): the spool is then
// printed with its transparency, as ps2write draws it.
std::optional<QList<Overlay>> overlays(const QString& gsPath, const QString& pdf,
                                       const QString& printed, std::chrono::milliseconds limit,
                                       int maxPages = 300, qsizetype maxBytes = 64 * 1024 * 1024);

// The PostScript that lays the overlays over their pages: the pictures, and
// an EndPage procedure that draws each one, clipped to its regions, when its
// page is done. Plain Level 2 PostScript, for any printer.
QByteArray overlayPostScript(const QList<Overlay>& overlays);

} // namespace transparency

} // namespace quillmer::printqueue
