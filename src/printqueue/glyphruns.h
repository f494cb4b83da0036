#pragma once

// The glyphs of one text-showing operator against the clip, for
// clippedtext.cpp: which of them stay as they are and which are drawn
// invisible, and the content that draws them so.

#include "printqueue/clippedtext.h"

#include <QByteArray>
#include <QByteArrayView>
#include <limits>
#include <qpdf/QPDFMatrix.hh>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmer::printqueue::clippedtext {

// A rectangle on the page (default user space), grown point by point.
struct Bounds
{
    double x0 = std::numeric_limits<double>::infinity();
    double y0 = std::numeric_limits<double>::infinity();
    double x1 = -std::numeric_limits<double>::infinity();
    double y1 = -std::numeric_limits<double>::infinity();

    void add(double x, double y);
    void add(const QPDFMatrix& m, double x, double y);
    Bounds intersected(const Bounds& o) const;
    // Whether the two share no point.
    bool apart(const Bounds& o) const;
    bool within(const Bounds& o) const;
};

// What places the text: text space to the page (the text matrix, then
// the graphics state's matrix), and the text state.
struct TextPlacement
{
    QPDFMatrix toPage;
    double size = 0, scale = 1, charSpacing = 0, wordSpacing = 0, rise = 0;
};

// One operand of a text-showing operator: a string (its bytes) or a TJ
// array's number (as written).
struct ShowItem
{
    bool isString = false;
    std::string_view bytes;
    QByteArrayView written;
    double number = 0;
};

// What showing the items does: how far the text position moves along the
// line, and how the operator is to be drawn: as it is (hidden 0), wholly
// invisible (hidden 1, text empty), or replaced by text, which draws its
// glyphs in hidden runs of invisible ones and runs of glyphs as they were.
struct Cut
{
    double advance = 0;
    int hidden = 0;
    QByteArray text;
};

// Cuts the operators of one page, keeping its buffers from one to the next.
class TextCutter
{
public:
    // The glyphs of the items drawn in font from the current text position
    // against the clip and the page. lineStart goes before the text (the
    // line change of the ' and " operators).
    Cut cut(const std::vector<ShowItem>& items, const FontMetrics& font,
            const TextPlacement& placement, const Bounds& clip, const Bounds& page,
            const QByteArray& lineStart);

    // How a glyph or string is drawn: as it was (its ink reaches into the
    // clip, or it is off the page), or invisible; Blank, a glyph without
    // ink, goes with its neighbours.
    enum class Drawn : char
    {
        AsItWas,
        Invisible,
        Blank
    };
    // A string, a glyph of a string the clip's edge cuts, or a number, in
    // the operator's order, and how it is drawn.
    struct Piece
    {
        enum Kind : char
        {
            String,
            Glyph,
            Number
        } kind;
        Drawn drawn;
        char byte;
        QByteArrayView written;
    };

private:
    // Each string of the operator: where it starts, and how it lies.
    std::vector<std::pair<double, char>> m_strings;
    std::vector<Piece> m_pieces;
};

} // namespace quillmer::printqueue::clippedtext
