#include "printqueue/clippedtext.h"

#include "printqueue/pdfsyntax.h"

#include <QList>
#include <algorithm>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmer::printqueue::clippedtext {

namespace {

using pdfsyntax::Lexer;
using pdfsyntax::stringBytes;
using pdfsyntax::Token;

// --- Geometry ---------------------------------------------------------------

struct Matrix
{
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    // This one, then m: the product this x m.
    Matrix then(const Matrix& m) const
    {
        return {a * m.a + b * m.c, a * m.b + b * m.d,       c * m.a + d * m.c,
                c * m.b + d * m.d, e * m.a + f * m.c + m.e, e * m.b + f * m.d + m.f};
    }
    void apply(double x, double y, double* ox, double* oy) const
    {
        *ox = a * x + c * y + e;
        *oy = b * x + d * y + f;
    }
};

struct Bounds
{
    double x0 = std::numeric_limits<double>::infinity();
    double y0 = std::numeric_limits<double>::infinity();
    double x1 = -std::numeric_limits<double>::infinity();
    double y1 = -std::numeric_limits<double>::infinity();

    void add(double x, double y)
    {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
    }
    void add(const Matrix& m, double x, double y)
    {
        double ox, oy;
        m.apply(x, y, &ox, &oy);
        add(ox, oy);
    }
    Bounds intersected(const Bounds& o) const
    {
        Bounds r;
        r.x0 = std::max(x0, o.x0);
        r.y0 = std::max(y0, o.y0);
        r.x1 = std::min(x1, o.x1);
        r.y1 = std::min(y1, o.y1);
        return r;
    }
    // Apart by more than a hundredth of a point: no glyph of the box can
    // show through the clip.
    bool apart(const Bounds& o) const
    {
        constexpr double Margin = 0.01;
        return x1 < o.x0 - Margin || o.x1 < x0 - Margin || y1 < o.y0 - Margin || o.y1 < y0 - Margin;
    }
};

// --- The page's interpretation ---------------------------------------------

struct GraphicsState
{
    Matrix ctm;
    Bounds clip;
    int renderingMode = 0;
    double charSpacing = 0, wordSpacing = 0, scale = 1, leading = 0, rise = 0;
    QByteArray font;
    double size = 0;
};

// An operator's name of up to three characters as one number, to switch on.
constexpr int key(std::string_view name)
{
    int k = 0;
    for (char c : name)
        k = k << 8 | static_cast<unsigned char>(c);
    return name.size() <= 3 ? k : -1;
}
int keyOf(QByteArrayView name)
{
    return key(std::string_view(name.data(), size_t(name.size())));
}

class Page
{
    using Operands = std::vector<Token>;

public:
    Page(const QByteArray& content, const QHash<QByteArray, FontMetrics>& fonts, const Box& box)
        : m_content(content), m_fonts(fonts)
    {
        m_page.add(box.x0, box.y0);
        m_page.add(box.x1, box.y1);
        m_state.clip = m_page;
    }

    QByteArray run(int* marked)
    {
        Lexer lexer(m_content);
        // The operands since the last operator, arrays flat between their
        // brackets; dictionaries (marked-content properties) left out.
        Operands operands;
        int arrays = 0, dictionaries = 0;
        for (Token t = lexer.next(); t.kind != Token::End; t = lexer.next()) {
            switch (t.kind) {
            case Token::DictOpen:
                ++dictionaries;
                break;
            case Token::DictClose:
                dictionaries = std::max(0, dictionaries - 1);
                break;
            case Token::Operator:
                if (dictionaries || arrays) // not an operator after all
                    break;
                if (keyOf(t.text) == key("BI"))
                    lexer.skipInlineImage();
                else
                    execute(t, operands);
                operands.clear();
                break;
            default:
                if (dictionaries)
                    break;
                arrays += t.kind == Token::ArrayOpen ? 1 : t.kind == Token::ArrayClose ? -1 : 0;
                arrays = std::max(0, arrays);
                operands.push_back(t);
            }
        }
        *marked = m_marked;
        if (!m_marked)
            return m_content;
        QByteArray out;
        qsizetype at = 0;
        for (const Edit& edit : m_edits) {
            out += m_content.mid(at, edit.start - at) + edit.text;
            at = edit.end;
        }
        return out + m_content.mid(at);
    }

private:
    struct Edit
    {
        qsizetype start, end;
        QByteArray text;
    };

    static double number(const Operands& operands, qsizetype fromEnd)
    {
        const qsizetype i = qsizetype(operands.size()) - fromEnd;
        return i >= 0 && operands[i].kind == Token::Number ? operands[i].number : 0;
    }
    static bool numbers(const Operands& operands, qsizetype count)
    {
        if (qsizetype(operands.size()) < count)
            return false;
        for (qsizetype i = qsizetype(operands.size()) - count; i < qsizetype(operands.size()); ++i)
            if (operands[i].kind != Token::Number)
                return false;
        return true;
    }
    static bool endsWithString(const Operands& operands)
    {
        return !operands.empty() && operands.back().kind == Token::String;
    }
    Matrix matrixOperand(const Operands& o) const
    {
        return {number(o, 6), number(o, 5), number(o, 4), number(o, 3), number(o, 2), number(o, 1)};
    }

    void addPoint(double x, double y) { m_path.add(m_state.ctm, x, y); }

    // The text position moved along the line by tx.
    void advance(double tx) { m_textMatrix = Matrix{1, 0, 0, 1, tx, 0}.then(m_textMatrix); }

    void moveText(double tx, double ty)
    {
        m_lineMatrix = Matrix{1, 0, 0, 1, tx, ty}.then(m_lineMatrix);
        m_textMatrix = m_lineMatrix;
        m_positionKnown = true;
    }

    void execute(const Token& op, const Operands& o)
    {
        const int name = keyOf(op.text);
        if (name == key("q")) {
            m_saved.append(m_state);
        } else if (name == key("Q")) {
            if (!m_saved.isEmpty())
                m_state = m_saved.takeLast();
        } else if (name == key("cm") && numbers(o, 6)) {
            m_state.ctm = matrixOperand(o).then(m_state.ctm);
        } else if ((name == key("m") || name == key("l")) && numbers(o, 2)) {
            addPoint(number(o, 2), number(o, 1));
        } else if (name == key("c") && numbers(o, 6)) {
            for (int i = 6; i > 0; i -= 2)
                addPoint(number(o, i), number(o, i - 1));
        } else if ((name == key("v") || name == key("y")) && numbers(o, 4)) {
            for (int i = 4; i > 0; i -= 2)
                addPoint(number(o, i), number(o, i - 1));
        } else if (name == key("re") && numbers(o, 4)) {
            const double x = number(o, 4), y = number(o, 3), w = number(o, 2), h = number(o, 1);
            addPoint(x, y);
            addPoint(x + w, y + h);
            addPoint(x + w, y);
            addPoint(x, y + h);
        } else if (name == key("W") || name == key("W*")) {
            m_clipPending = true;
        } else if (name == key("n") || name == key("S") || name == key("s") || name == key("f") ||
                   name == key("F") || name == key("f*") || name == key("B") || name == key("B*") ||
                   name == key("b") || name == key("b*")) {
            if (m_clipPending)
                m_state.clip = m_state.clip.intersected(m_path);
            m_clipPending = false;
            m_path = Bounds();
        } else if (name == key("BT")) {
            m_textMatrix = m_lineMatrix = Matrix();
            m_positionKnown = true;
        } else if (name == key("Tf") && o.size() >= 2 && o[o.size() - 2].kind == Token::Name) {
            m_state.font = o[o.size() - 2].text.toByteArray();
            m_state.size = number(o, 1);
        } else if (name == key("Tc") && numbers(o, 1)) {
            m_state.charSpacing = number(o, 1);
        } else if (name == key("Tw") && numbers(o, 1)) {
            m_state.wordSpacing = number(o, 1);
        } else if (name == key("Tz") && numbers(o, 1)) {
            m_state.scale = number(o, 1) / 100;
        } else if (name == key("TL") && numbers(o, 1)) {
            m_state.leading = number(o, 1);
        } else if (name == key("Ts") && numbers(o, 1)) {
            m_state.rise = number(o, 1);
        } else if (name == key("Tr") && numbers(o, 1)) {
            const double mode = number(o, 1);
            m_state.renderingMode = mode >= 0 && mode <= 7 ? int(mode) : -1;
        } else if (name == key("Td") && numbers(o, 2)) {
            moveText(number(o, 2), number(o, 1));
        } else if (name == key("TD") && numbers(o, 2)) {
            m_state.leading = -number(o, 1);
            moveText(number(o, 2), number(o, 1));
        } else if (name == key("Tm") && numbers(o, 6)) {
            m_textMatrix = m_lineMatrix = matrixOperand(o);
            m_positionKnown = true;
        } else if (name == key("T*")) {
            moveText(0, -m_state.leading);
        } else if (name == key("Tj") && endsWithString(o)) {
            show(op, o.back().start, o.end() - 1, o.end());
        } else if (name == key("'") && endsWithString(o)) {
            moveText(0, -m_state.leading);
            show(op, o.back().start, o.end() - 1, o.end());
        } else if (name == key("\"") && o.size() >= 3 && endsWithString(o)) {
            m_state.wordSpacing = number(o, 3);
            m_state.charSpacing = number(o, 2);
            moveText(0, -m_state.leading);
            show(op, o[o.size() - 3].start, o.end() - 1, o.end());
        } else if (name == key("TJ") && !o.empty() && o.back().kind == Token::ArrayClose) {
            const auto open = std::find_if(
                o.rbegin(), o.rend(), [](const Token& t) { return t.kind == Token::ArrayOpen; });
            if (open != o.rend())
                show(op, open->start, open.base(), o.end() - 1);
        }
    }

    // Whether a string drawn from the current text position is wholly
    // outside the clip; the text position moves past it either way.
    bool outside(const FontMetrics& font, QByteArrayView written)
    {
        stringBytes(written, m_bytes);
        const std::string& string = m_bytes;
        const double size = m_state.size, scale = m_state.scale;
        double x = 0, first = 0, last = 0;
        for (const char c : string) {
            const int code = static_cast<unsigned char>(c);
            first = std::min(first, x);
            last = std::max(last, x);
            const double width = font.widths.value(code, font.missingWidth) / 1000;
            x += (width * size + m_state.charSpacing + (code == 32 ? m_state.wordSpacing : 0)) *
                 scale;
        }
        const Matrix toDevice = m_textMatrix.then(m_state.ctm);
        Bounds box;
        const double left = first + font.llx / 1000 * size * scale;
        const double right = last + font.urx / 1000 * size * scale;
        const double bottom = m_state.rise + font.lly / 1000 * size;
        const double top = m_state.rise + font.ury / 1000 * size;
        box.add(toDevice, left, bottom);
        box.add(toDevice, left, top);
        box.add(toDevice, right, bottom);
        box.add(toDevice, right, top);
        advance(x);
        // Text wholly off the page stays as it is: no reader shows or finds
        // it (poppler's text extraction leaves it out too), and there can be
        // much of it (a long cell text repeated on each page it crosses).
        return !string.empty() && box.apart(m_state.clip) && !box.apart(m_page);
    }

    // A text-showing operator whose operands begin at start and whose
    // strings and numbers are [first, last).
    void show(const Token& op, qsizetype start, Operands::const_iterator first,
              Operands::const_iterator last)
    {
        const auto font = m_fonts.constFind(m_state.font);
        if (font == m_fonts.cend() || !m_positionKnown) {
            m_positionKnown = false; // its advance is not known
            return;
        }
        const bool fill = m_state.renderingMode == 0;
        const auto pieces = std::span(first, last);
        std::vector<char>& hidden = m_hidden;
        hidden.clear();
        for (const Token& piece : pieces) {
            if (piece.kind == Token::String) {
                hidden.push_back(outside(*font, piece.text));
            } else {
                hidden.push_back(false);
                if (piece.kind == Token::Number)
                    advance(-piece.number / 1000 * m_state.size * m_state.scale);
            }
        }
        const qsizetype count = std::count(hidden.begin(), hidden.end(), true);
        if (!fill || count == 0)
            return;
        // Tokens may touch ("Tf[<01>]TJ"): every insert is set off by spaces.
        const QByteArray restore = ' ' + QByteArray::number(m_state.renderingMode) + " Tr ";
        if (keyOf(op.text) != key("TJ") ||
            count == std::count_if(pieces.begin(), pieces.end(),
                                   [](const Token& t) { return t.kind == Token::String; })) {
            m_edits.append({start, start, " 3 Tr "});
            m_edits.append({op.end, op.end, restore});
        } else {
            // Some of the array shows: one TJ for each run of pieces seen
            // or not, the numbers going with the piece before them.
            QByteArray text = " ";
            const size_t n = pieces.size();
            for (size_t i = 0; i < n;) {
                const bool off = hidden[i];
                size_t j = i + 1;
                while (j < n && (pieces[j].kind != Token::String || bool(hidden[j]) == off))
                    ++j;
                text += off ? "3 Tr [" : "[";
                for (size_t k = i; k < j; ++k)
                    text.append(QByteArrayView(m_content).sliced(pieces[k].start,
                                                                 pieces[k].end - pieces[k].start))
                        .append(' ');
                text += "] TJ";
                text += off ? restore : QByteArray(" ");
                i = j;
            }
            m_edits.append({start, op.end, text});
        }
        m_marked += int(count);
    }

    const QByteArray& m_content;
    const QHash<QByteArray, FontMetrics>& m_fonts;
    Bounds m_page;
    GraphicsState m_state;
    QList<GraphicsState> m_saved;
    Bounds m_path;
    bool m_clipPending = false;
    Matrix m_textMatrix, m_lineMatrix;
    bool m_positionKnown = false;
    QList<Edit> m_edits;
    int m_marked = 0;
    std::string m_bytes;        // the string being measured
    std::vector<char> m_hidden; // which pieces of the text being shown are outside
};

} // namespace

bool trueTypeBox(const QByteArray& font, FontMetrics* metrics)
{
    const auto u16 = [&](qsizetype at) {
        return at + 2 <= font.size() ? int(quint8(font[at]) << 8 | quint8(font[at + 1])) : -1;
    };
    const auto s16 = [&](qsizetype at) { return double(qint16(u16(at))); };
    const int tables = u16(4);
    for (int i = 0; i < tables; ++i) {
        const qsizetype record = 12 + 16 * qsizetype(i);
        if (record + 16 > font.size())
            return false;
        if (font.mid(record, 4) != "head")
            continue;
        const qsizetype head =
            qsizetype(quint32(u16(record + 8)) << 16 | quint32(u16(record + 10)));
        const int unitsPerEm = u16(head + 18);
        if (head + 44 > font.size() || unitsPerEm <= 0)
            return false;
        const double scale = 1000.0 / unitsPerEm;
        metrics->llx = s16(head + 36) * scale;
        metrics->lly = s16(head + 38) * scale;
        metrics->urx = s16(head + 40) * scale;
        metrics->ury = s16(head + 42) * scale;
        return true;
    }
    return false;
}

QByteArray markInvisible(const QByteArray& content, const QHash<QByteArray, FontMetrics>& fonts,
                         const Box& page, int* marked)
{
    return Page(content, fonts, page).run(marked);
}

} // namespace quillmer::printqueue::clippedtext
