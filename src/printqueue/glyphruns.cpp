#include "printqueue/glyphruns.h"

#include <algorithm>

namespace quillmer::printqueue::clippedtext {

void Bounds::add(double x, double y)
{
    x0 = std::min(x0, x);
    y0 = std::min(y0, y);
    x1 = std::max(x1, x);
    y1 = std::max(y1, y);
}

void Bounds::add(const QPDFMatrix& m, double x, double y)
{
    double px, py;
    m.transform(x, y, px, py);
    add(px, py);
}

Bounds Bounds::intersected(const Bounds& o) const
{
    Bounds r;
    r.x0 = std::max(x0, o.x0);
    r.y0 = std::max(y0, o.y0);
    r.x1 = std::min(x1, o.x1);
    r.y1 = std::min(y1, o.y1);
    return r;
}

bool Bounds::apart(const Bounds& o) const
{
    return x1 < o.x0 || o.x1 < x0 || y1 < o.y0 || o.y1 < y0;
}

bool Bounds::within(const Bounds& o) const
{
    return x0 >= o.x0 && x1 <= o.x1 && y0 >= o.y0 && y1 <= o.y1;
}

namespace {

using Drawn = TextCutter::Drawn;
using Piece = TextCutter::Piece;

// How far ink must reach into the clip to count as shown: more than the
// grid of a tenth of a point that ps2write rounds text and clip to, or
// half of a glyph smaller than that. Ink that reaches less in is drawn
// invisible, so that no rounding can take a glyph away.
constexpr double Reach = 0.1;

bool reaches(const Bounds& ink, const Bounds& clip)
{
    const Bounds shared = ink.intersected(clip);
    return shared.x1 - shared.x0 > std::min(Reach, (ink.x1 - ink.x0) / 2) &&
           shared.y1 - shared.y0 > std::min(Reach, (ink.y1 - ink.y0) / 2);
}

// The page box of a box in text space drawn from left to right along the
// line.
Bounds onPage(const TextPlacement& p, const Box& box, double left, double right)
{
    const double bottom = p.rise + box.y0 / 1000 * p.size, top = p.rise + box.y1 / 1000 * p.size;
    const QPDFMatrix& m = p.toPage;
    if (m.b == 0 && m.c == 0) { // upright text, the most: no need to turn the corners
        const double x0 = m.a * left + m.e, x1 = m.a * right + m.e;
        const double y0 = m.d * bottom + m.f, y1 = m.d * top + m.f;
        return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
    }
    const auto r = m.transformRectangle({left, bottom, right, top});
    return {r.llx, r.lly, r.urx, r.ury};
}

double advanceOf(const FontMetrics& font, const TextPlacement& p, unsigned char code)
{
    return (font.widths[code] / 1000 * p.size + p.charSpacing + (code == 32 ? p.wordSpacing : 0)) *
           p.scale;
}

// Where a string lies against the clip, as a whole: most lie wholly inside
// it or wholly outside, and need no glyph looked at alone.
enum class Whole : char
{
    Shown,     // inside the clip, or off the page
    Invisible, // outside the clip, on the page
    Cut        // under the clip's edge
};

class Measure
{
public:
    Measure(const FontMetrics& font, const TextPlacement& p, const Bounds& clip, const Bounds& page)
        : m_font(font), m_p(p), m_clip(clip), m_page(page), m_scale(p.size * p.scale / 1000)
    {
    }

    // The string drawn from x as a whole; x moves past it.
    Whole whole(std::string_view bytes, double& x) const
    {
        if (bytes.empty())
            return Whole::Shown;
        const double first = x;
        double last = x;
        for (const char c : bytes) {
            last = x;
            x += advanceOf(m_font, m_p, static_cast<unsigned char>(c));
        }
        const Box& all = m_font.all;
        const Bounds b = onPage(m_p, all, first + all.x0 * m_scale, last + all.x1 * m_scale);
        if (b.within(m_clip))
            return Whole::Shown;
        if (!b.apart(m_clip))
            return Whole::Cut;
        return b.apart(m_page) ? Whole::Shown : Whole::Invisible;
    }

    // Whether every glyph of the items shows, the box of all of them lying
    // inside the clip or off the page; advance: how far they move.
    template <typename Moved>
    bool allShown(const std::vector<ShowItem>& items, const Moved& moved, double& advance) const
    {
        double x = 0, first = std::numeric_limits<double>::infinity(), last = -first;
        for (const ShowItem& item : items) {
            if (!item.isString) {
                x += moved(item);
                continue;
            }
            for (const char c : item.bytes) {
                first = std::min(first, x);
                last = std::max(last, x);
                x += advanceOf(m_font, m_p, static_cast<unsigned char>(c));
            }
        }
        advance = x;
        if (first > last)
            return true;
        const Box& all = m_font.all;
        const Bounds b = onPage(m_p, all, first + all.x0 * m_scale, last + all.x1 * m_scale);
        return b.within(m_clip) || b.apart(m_page);
    }

    // A glyph of a string the clip's edge cuts, drawn from x.
    Drawn glyph(unsigned char code, double x) const
    {
        const Box ink = m_font.glyphs[code].value_or(m_font.all);
        if (ink.empty())
            return Drawn::Blank;
        const Bounds b = onPage(m_p, ink, x + ink.x0 * m_scale, x + ink.x1 * m_scale);
        return reaches(b, m_clip) || b.apart(m_page) ? Drawn::AsItWas : Drawn::Invisible;
    }

    double advance(unsigned char code) const { return advanceOf(m_font, m_p, code); }

private:
    const FontMetrics& m_font;
    const TextPlacement& m_p;
    const Bounds& m_clip;
    const Bounds& m_page;
    const double m_scale;
};

// A glyph without ink is drawn as the piece before it (the first ones as
// the first glyph with ink). False when none is to be drawn invisible.
bool settleBlanks(std::vector<Piece>& pieces)
{
    Drawn previous = Drawn::Blank;
    for (const Piece& piece : pieces)
        if (piece.kind != Piece::Number && piece.drawn != Drawn::Blank) {
            previous = piece.drawn;
            break;
        }
    bool invisible = false;
    for (Piece& piece : pieces) {
        if (piece.kind == Piece::Number)
            continue;
        if (piece.drawn == Drawn::Blank)
            piece.drawn = previous;
        previous = piece.drawn;
        invisible = invisible || piece.drawn == Drawn::Invisible;
    }
    return invisible;
}

// One TJ for each run of pieces drawn alike, each number going with the run
// it stands in; the invisible runs in mode 3, then fill mode again.
QByteArray runsText(const std::vector<Piece>& pieces, int* hidden)
{
    QByteArray text;
    text.reserve(qsizetype(pieces.size()) * 6 + 32);
    bool open = false, invisible = false, inGlyphs = false;
    const auto endGlyphs = [&] {
        if (inGlyphs)
            text.append("> ");
        inGlyphs = false;
    };
    for (const Piece& piece : pieces) {
        const bool drawn = piece.kind != Piece::Number;
        const bool nowInvisible = drawn && piece.drawn == Drawn::Invisible;
        if (!open || (drawn && nowInvisible != invisible)) {
            endGlyphs();
            if (open)
                text.append("] TJ ");
            if (drawn && nowInvisible != invisible) {
                text.append(nowInvisible ? "3 Tr " : "0 Tr ");
                *hidden += nowInvisible;
                invisible = nowInvisible;
            }
            text.append('[');
            open = true;
        }
        if (piece.kind == Piece::Glyph) {
            static constexpr char Hex[] = "0123456789ABCDEF";
            if (!inGlyphs)
                text.append('<');
            inGlyphs = true;
            const auto byte = static_cast<unsigned char>(piece.byte);
            text.append(Hex[byte >> 4]).append(Hex[byte & 15]);
        } else {
            endGlyphs();
            text.append(piece.written).append(' ');
        }
    }
    endGlyphs();
    text.append("] TJ ");
    if (invisible)
        text.append("0 Tr ");
    return text;
}

} // namespace

Cut TextCutter::cut(const std::vector<ShowItem>& items, const FontMetrics& font,
                    const TextPlacement& placement, const Bounds& clip, const Bounds& page,
                    const QByteArray& lineStart)
{
    const Measure measure(font, placement, clip, page);
    const auto moved = [&](const ShowItem& item) {
        return -item.number / 1000 * placement.size * placement.scale;
    };
    // First as wholes: an operator whose strings all show stays as it is,
    // one whose strings are all hidden is drawn invisible as it is.
    Cut cut;
    if (measure.allShown(items, moved, cut.advance))
        return cut;
    cut.advance = 0;
    bool shown = true, hidden = true;
    m_strings.clear();
    for (const ShowItem& item : items) {
        if (!item.isString) {
            cut.advance += moved(item);
            continue;
        }
        const double start = cut.advance;
        const Whole whole = measure.whole(item.bytes, cut.advance);
        m_strings.push_back({start, char(whole)});
        shown = shown && whole == Whole::Shown;
        hidden = hidden && whole == Whole::Invisible;
    }
    if (shown || hidden) {
        cut.hidden = shown ? 0 : 1;
        return cut;
    }
    // Then the glyphs of the strings the clip's edge cuts, one by one.
    m_pieces.clear();
    auto string = m_strings.cbegin();
    for (const ShowItem& item : items) {
        if (!item.isString) {
            m_pieces.push_back({Piece::Number, Drawn::AsItWas, 0, item.written});
            continue;
        }
        const auto [start, whole] = *string++;
        if (Whole(whole) != Whole::Cut) {
            m_pieces.push_back(
                {Piece::String,
                 Whole(whole) == Whole::Invisible ? Drawn::Invisible : Drawn::AsItWas, 0,
                 item.written});
            continue;
        }
        double x = start;
        for (const char c : item.bytes) {
            const auto code = static_cast<unsigned char>(c);
            m_pieces.push_back({Piece::Glyph, measure.glyph(code, x), c, {}});
            x += measure.advance(code);
        }
    }
    if (!settleBlanks(m_pieces))
        return cut;
    // Set off by spaces: tokens may touch ("Tf[<01>]TJ").
    cut.text = ' ' + lineStart + runsText(m_pieces, &cut.hidden);
    return cut;
}

} // namespace quillmer::printqueue::clippedtext
