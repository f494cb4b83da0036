#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QRectF>
#include <QString>
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

// Whether a spool uses transparency, and its soft-masked pictures laid over
// white: SpoolDocument (spooldocument.h).

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

// The overlays that printing a PDF without transparency needs: where
// printed (a rewrite of pdf with its soft-masked pictures laid over white)
// drawn without transparency looks other than pdf with it, pictures of
// original drawn by Ghostscript before the deadline. None when they look
// the same. Soft-masked pictures laid over white keep their own resolution
// and look as they did wherever white lay under them; where something else
// did, this finds the change. (pdf and printed hold the same invisible
// text; original, the office's own spool, holds none, for Ghostscript 10.0
// draws text that follows invisible text in one text object where the
// invisible text began.) Throws platform::Failure when it cannot tell
// (Ghostscript fails, the deadline passes, more than maxPages pages, more
// than maxBytes of pictures).
QList<Overlay> overlays(const QString& gsPath, const QString& original, const QString& pdf,
                        const QString& printed, const QDeadlineTimer& deadline, int maxPages = 300,
                        qsizetype maxBytes = 64 * 1024 * 1024);

// The PostScript that lays the overlays over their pages: the pictures, and
// an EndPage procedure that draws each one, clipped to its regions, when its
// page is done. Plain Level 2 PostScript, for any printer.
QByteArray overlayPostScript(const QList<Overlay>& overlays);

} // namespace transparency

} // namespace quillmer::printqueue
