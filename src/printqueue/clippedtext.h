#pragma once

#include <QByteArray>
#include <QHash>
#include <array>
#include <optional>

namespace quillmer::printqueue::clippedtext {

// Text that a PDF draws outside its clip (a chart's labels past its frame,
// cell text running past the printed area) is not seen on the page, but it
// is the document's text: a search finds it in the office's own export.
// Ghostscript's PDF and PostScript writers test each string they are handed
// against the clip's bounding box and leave out a string whose box lies
// wholly outside it, unless it is drawn invisible (text rendering mode 3),
// which they keep wherever it lies (pdf_process_string, gdevpdte.c). The
// queue's text passes Ghostscript twice: ps2write is handed the spool's
// strings (a Tj string, a TJ element) and keeps one that the clip cuts, but
// writes it again glyph by glyph wherever a glyph's advance differs from
// the font's own; pdfwrite is then handed those pieces, and measures them
// with a box of only the glyphs the PostScript holds. So a word under the
// clip's edge lost the glyphs beyond it.
//
// Before the queue prints a spool, each string is cut where its glyphs' ink
// leaves the clip: a glyph whose ink is outside the clip but on the page is
// drawn invisible, every glyph whose ink reaches into the clip stays as it
// was. Either way Ghostscript keeps every glyph, in its place and order;
// nothing that shows changes.

// A box in a font's text space (thousandths of its size) or on a page.
struct Box
{
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return !(x0 < x1 && y0 < y1); }
};

// A simple font's metrics in thousandths of its size: each code's advance
// (the missing width for a code the font gives none), the box all its
// glyphs fit in, and the box of each code's own glyph as the font program
// draws it (an empty box for a glyph without ink). A code whose own glyph
// is not known is measured with the box of all.
struct FontMetrics
{
    std::array<double, 256> widths{};
    Box all;
    std::array<std::optional<Box>, 256> glyphs;
};

// How a font's codes choose its glyphs, as Ghostscript's PDF interpreter
// reads an embedded simple font.
struct GlyphChoice
{
    enum Kind
    {
        Unknown,  // only the font's box is read
        Symbolic, // TrueType: its (3,0) cmap (the code, then 0xF000 + code),
                  // else its (1,0) cmap, else the code is the glyph's number
        Named,    // Type 1 or CFF: by the names of the PDF's Differences,
                  // else (builtIn) by the font program's own encoding
    } kind = Unknown;
    QHash<int, QByteArray> names;
    bool builtIn = false;
};

// The boxes of an embedded font program (TrueType, Type 1 or CFF, read
// with FreeType): into metrics->all (the font's own box, widened to hold
// every glyph measured) and metrics->glyphs. False when it is not a font
// program FreeType reads.
bool readGlyphBoxes(const QByteArray& program, const GlyphChoice& choice, FontMetrics* metrics);

// A page's content stream with its text cut as described above; pieces:
// how many runs of glyphs are now drawn invisible (none: content as given).
struct Marked
{
    QByteArray content;
    int pieces = 0;
};

// Only text in the fonts given (by resource name), drawn in fill mode, is
// looked at; page is the page's box, the clip before the content sets one.
// Glyphs wholly off the page stay as they are: no reader shows or finds
// them there.
Marked markInvisible(const QByteArray& content, const QHash<QByteArray, FontMetrics>& fonts,
                     const Box& page);

} // namespace quillmer::printqueue::clippedtext
