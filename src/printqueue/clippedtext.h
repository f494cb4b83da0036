#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace quillmer::printqueue::clippedtext {

// Text that a PDF draws wholly outside its clip (a chart's labels past its
// frame, cell text running past the page's edge) is not seen on the page,
// but it is the document's text: a search finds it in the office's own
// export. Ghostscript's PDF and PostScript writers leave such text out
// unless it is drawn invisible (text rendering mode 3), which they keep
// wherever it lies. So before the queue prints a spool, such text is drawn
// invisible; nothing that shows changes.

// A simple font's metrics in thousandths of its size: each code's advance
// and the box every glyph fits in (the descriptor's FontBBox).
struct FontMetrics
{
    QHash<int, double> widths;
    double missingWidth = 0;
    double llx = 0, lly = 0, urx = 0, ury = 0;
};

// A page's box in default user space.
struct Box
{
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// The box of an embedded TrueType font program's glyphs (its 'head' table),
// in thousandths of its size, into metrics; false when font is not one.
// Ghostscript measures text with it; a subset font's box covers its own
// glyphs, often much less than the descriptor's box of the whole font.
bool trueTypeBox(const QByteArray& font, FontMetrics* metrics);

// The content stream of a page with each text piece (a Tj, ' or " string, a
// TJ element) whose glyph boxes lie wholly outside the clip's bounding box
// (the page's box to begin with) but not wholly off the page wrapped in
// "3 Tr ... Tr". Only text in the fonts given, drawn in fill mode, is looked
// at. marked: how many pieces.
QByteArray markInvisible(const QByteArray& content, const QHash<QByteArray, FontMetrics>& fonts,
                         const Box& page, int* marked);

// The PDF so rewritten into output (read and written with qpdf). The number
// of pieces drawn invisible; 0 when there are none (output not written), -1
// when the PDF cannot be read or output written.
int markInvisible(const QString& pdf, const QString& output);

} // namespace quillmer::printqueue::clippedtext
