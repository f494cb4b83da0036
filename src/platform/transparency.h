#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <chrono>

namespace quillmer::platform {

// PostScript has no transparency. A spool page that uses it (a picture with
// an alpha channel, a see-through fill) is drawn by ps2write as one picture
// of the whole page, and its text is lost. Where the transparency makes no
// visible difference (a picture whose see-through parts lie over nothing,
// or whose hidden colour is the page's own), the page looks the same drawn
// opaque, and drawn opaque it keeps its text. These checks tell the two
// apart.
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

// Whether two renderings of the same pages look alike: same pages and
// sizes, and on every page at most one in a thousand blocks of 2 x 2 pixels
// whose mean grey differs by more than a quarter of the scale. Thin lines,
// which Ghostscript draws a shade lighter on a page with transparency, stay
// below that; a see-through corner gone black does not.
bool lookAlike(const QList<GreyPage>& a, const QList<GreyPage>& b);

// Whether the PDF's pages look the same drawn with and without
// transparency, by Ghostscript at gsPath, at a low resolution, within
// limit. False when it cannot tell (Ghostscript fails, the limit passes,
// more than maxPages pages).
bool canBeDropped(const QString& gsPath, const QString& pdf, std::chrono::milliseconds limit,
                  int maxPages = 300);

} // namespace transparency

} // namespace quillmer::platform
