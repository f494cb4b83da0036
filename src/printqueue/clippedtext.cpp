#include "printqueue/clippedtext.h"

#include "printqueue/glyphruns.h"

#include <QList>
#include <algorithm>
#include <charconv>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/BufferInputSource.hh>
#include <qpdf/QPDFTokenizer.hh>
#include <string_view>

// A reader of page contents that follows the clip (rectangles and path
// bounds through q/Q and cm), the text position and the text state, and
// nothing else: what no library offers. The tokens are qpdf's.

namespace quillmer::printqueue::clippedtext {

namespace {

using Tokenizer = QPDFTokenizer;

struct GraphicsState
{
    QPDFMatrix ctm;
    Bounds clip;
    int renderingMode = 0;
    double charSpacing = 0, wordSpacing = 0, scale = 1, leading = 0, rise = 0;
    QByteArray font;
    double size = 0;
};

// An operand as read: its token, its number, where it is written.
struct Operand
{
    Tokenizer::token_type_e type = Tokenizer::tt_bad;
    std::string value;
    double number = 0;
    qsizetype start = 0, end = 0;

    bool isNumber() const { return type == Tokenizer::tt_integer || type == Tokenizer::tt_real; }
};
using Operands = std::vector<Operand>;

double numberOf(const std::string& text)
{
    std::string_view digits(text);
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc() && end == digits.data() + digits.size() ? value : 0;
}

// An operator's name of up to three characters as one number, to switch on.
constexpr int key(std::string_view name)
{
    if (name.size() > 3)
        return -1;
    int k = 0;
    for (char c : name)
        k = k << 8 | static_cast<unsigned char>(c);
    return k;
}

class Page
{
public:
    Page(const QByteArray& content, const QHash<QByteArray, FontMetrics>& fonts, const Box& box)
        : m_content(content), m_fonts(fonts)
    {
        m_page.add(box.x0, box.y0);
        m_page.add(box.x1, box.y1);
        m_state.clip = m_page;
    }

    Marked run()
    {
        // Read in place: the buffer only borrows the content's bytes.
        Buffer bytes(reinterpret_cast<unsigned char*>(const_cast<char*>(m_content.constData())),
                     size_t(m_content.size()));
        const auto input = std::make_shared<BufferInputSource>("page contents", &bytes);
        Tokenizer tokenizer;
        tokenizer.allowEOF();
        // The operands since the last operator, arrays flat between their
        // brackets; dictionaries (marked-content properties) left out.
        Operands operands;
        int arrays = 0, dictionaries = 0;
        for (;;) {
            Tokenizer::Token token = tokenizer.readToken(input, "page contents", true);
            const auto type = token.getType();
            if (type == Tokenizer::tt_eof)
                break;
            if (type == Tokenizer::tt_dict_open || type == Tokenizer::tt_dict_close) {
                dictionaries =
                    std::max(0, dictionaries + (type == Tokenizer::tt_dict_open ? 1 : -1));
            } else if (type == Tokenizer::tt_word || type == Tokenizer::tt_bad) {
                if (dictionaries || arrays) // not an operator after all
                    continue;
                if (type == Tokenizer::tt_word && token.getValue() == "ID") {
                    char space; // the one white-space character after ID
                    input->read(&space, 1);
                    tokenizer.expectInlineImage(input);
                } else if (type == Tokenizer::tt_word) {
                    execute(token.getValue(), operands, input->tell());
                }
                operands.clear();
            } else if (!dictionaries && type != Tokenizer::tt_inline_image) {
                arrays = std::max(0, arrays + (type == Tokenizer::tt_array_open    ? 1
                                               : type == Tokenizer::tt_array_close ? -1
                                                                                   : 0));
                Operand& o = operands.emplace_back();
                o.type = type;
                o.start = input->getLastOffset();
                o.end = input->tell();
                if (type == Tokenizer::tt_integer || type == Tokenizer::tt_real)
                    o.number = numberOf(token.getValue());
                else if (type == Tokenizer::tt_string || type == Tokenizer::tt_name)
                    o.value = token.getValue();
            }
        }
        return {edited(), m_marked};
    }

private:
    struct Edit
    {
        qsizetype start, end;
        QByteArray text;
    };

    QByteArray edited() const
    {
        if (m_edits.isEmpty())
            return m_content;
        QByteArray out;
        qsizetype at = 0;
        for (const Edit& edit : m_edits) {
            out += QByteArrayView(m_content).sliced(at, edit.start - at);
            out += edit.text;
            at = edit.end;
        }
        out += QByteArrayView(m_content).sliced(at);
        return out;
    }

    static double number(const Operands& o, size_t fromEnd)
    {
        return fromEnd <= o.size() && o[o.size() - fromEnd].isNumber()
                   ? o[o.size() - fromEnd].number
                   : 0;
    }
    static bool numbers(const Operands& o, size_t count)
    {
        return o.size() >= count && std::all_of(o.end() - qsizetype(count), o.end(),
                                                [](const Operand& x) { return x.isNumber(); });
    }
    static bool endsWith(const Operands& o, Tokenizer::token_type_e type)
    {
        return !o.empty() && o.back().type == type;
    }
    static QPDFMatrix matrixOf(const Operands& o)
    {
        return {number(o, 6), number(o, 5), number(o, 4), number(o, 3), number(o, 2), number(o, 1)};
    }

    void addPoint(double x, double y) { m_path.add(m_state.ctm, x, y); }

    void moveText(double tx, double ty)
    {
        m_lineMatrix.concat(QPDFMatrix(1, 0, 0, 1, tx, ty));
        m_textMatrix = m_lineMatrix;
        m_positionKnown = true;
    }

    QByteArrayView written(const Operand& o) const
    {
        return QByteArrayView(m_content).sliced(o.start, o.end - o.start);
    }

    // The operators that change the graphics state, the path or the clip;
    // then those of text.
    void execute(const std::string& op, const Operands& o, qsizetype end);
    void executeText(int name, const Operands& o, qsizetype end);
    void show(const Operands& o, size_t first, size_t last, qsizetype start, qsizetype end,
              const QByteArray& lineStart);

    const QByteArray& m_content;
    const QHash<QByteArray, FontMetrics>& m_fonts;
    Bounds m_page;
    GraphicsState m_state;
    QList<GraphicsState> m_saved;
    Bounds m_path;
    bool m_clipPending = false;
    QPDFMatrix m_textMatrix, m_lineMatrix;
    bool m_positionKnown = false;
    QList<Edit> m_edits;
    int m_marked = 0;
    std::vector<ShowItem> m_items; // the operator being shown
    TextCutter m_cutter;
};

void Page::execute(const std::string& op, const Operands& o, qsizetype end)
{
    const int name = key(op);
    if (name == key("q")) {
        m_saved.append(m_state);
    } else if (name == key("Q")) {
        if (!m_saved.isEmpty())
            m_state = m_saved.takeLast();
    } else if (name == key("cm") && numbers(o, 6)) {
        m_state.ctm.concat(matrixOf(o));
    } else if ((name == key("m") || name == key("l")) && numbers(o, 2)) {
        addPoint(number(o, 2), number(o, 1));
    } else if (name == key("c") && numbers(o, 6)) {
        for (size_t i = 6; i > 0; i -= 2)
            addPoint(number(o, i), number(o, i - 1));
    } else if ((name == key("v") || name == key("y")) && numbers(o, 4)) {
        for (size_t i = 4; i > 0; i -= 2)
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
    } else {
        executeText(name, o, end);
    }
}

void Page::executeText(int name, const Operands& o, qsizetype end)
{
    if (name == key("BT")) {
        m_textMatrix = m_lineMatrix = QPDFMatrix();
        m_positionKnown = true;
    } else if (name == key("Tf") && o.size() >= 2 && o[o.size() - 2].type == Tokenizer::tt_name) {
        m_state.font = QByteArray::fromStdString(o[o.size() - 2].value).mid(1);
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
        m_textMatrix = m_lineMatrix = matrixOf(o);
        m_positionKnown = true;
    } else if (name == key("T*")) {
        moveText(0, -m_state.leading);
    } else if (name == key("Tj") && endsWith(o, Tokenizer::tt_string)) {
        show(o, o.size() - 1, o.size(), o.back().start, end, {});
    } else if (name == key("'") && endsWith(o, Tokenizer::tt_string)) {
        moveText(0, -m_state.leading);
        show(o, o.size() - 1, o.size(), o.back().start, end, "T* ");
    } else if (name == key("\"") && o.size() >= 3 && endsWith(o, Tokenizer::tt_string)) {
        m_state.wordSpacing = number(o, 3);
        m_state.charSpacing = number(o, 2);
        moveText(0, -m_state.leading);
        const Operand& aw = o[o.size() - 3];
        const Operand& ac = o[o.size() - 2];
        show(o, o.size() - 1, o.size(), aw.start, end,
             written(aw).toByteArray() + " Tw " + written(ac).toByteArray() + " Tc T* ");
    } else if (name == key("TJ") && endsWith(o, Tokenizer::tt_array_close)) {
        const auto open = std::find_if(o.rbegin(), o.rend(), [](const Operand& x) {
            return x.type == Tokenizer::tt_array_open;
        });
        if (open != o.rend()) {
            const size_t first = size_t(o.rend() - open); // after the bracket
            show(o, first, o.size() - 1, open->start, end, {});
        }
    }
}

// A text-showing operator written from start to end, whose strings and
// numbers are o[first, last).
void Page::show(const Operands& o, size_t first, size_t last, qsizetype start, qsizetype end,
                const QByteArray& lineStart)
{
    const auto font = m_fonts.constFind(m_state.font);
    if (font == m_fonts.cend() || !m_positionKnown) {
        m_positionKnown = false; // its advance is not known
        return;
    }
    std::vector<ShowItem>& items = m_items;
    items.clear();
    for (size_t i = first; i < last; ++i) {
        if (o[i].type == Tokenizer::tt_string)
            items.push_back({true, o[i].value, written(o[i]), 0});
        else if (o[i].isNumber())
            items.push_back({false, {}, written(o[i]), o[i].number});
    }
    // Text space to the page: the text matrix, then the graphics state's.
    QPDFMatrix toPage = m_state.ctm;
    toPage.concat(m_textMatrix);
    const TextPlacement placement{
        toPage,      m_state.size, m_state.scale, m_state.charSpacing, m_state.wordSpacing,
        m_state.rise};
    const Cut cut = m_cutter.cut(items, *font, placement, m_state.clip, m_page, lineStart);
    m_textMatrix.concat(QPDFMatrix(1, 0, 0, 1, cut.advance, 0));
    // Only fill-mode text: other modes draw outlines Ghostscript keeps as
    // such, or are invisible already.
    if (m_state.renderingMode != 0 || !cut.hidden)
        return;
    // Tokens may touch ("Tf[<01>]TJ"): every insert is set off by spaces.
    if (cut.text.isEmpty()) {
        m_edits.append({start, start, " 3 Tr "});
        m_edits.append({end, end, " 0 Tr "});
    } else {
        m_edits.append({start, end, cut.text});
    }
    m_marked += cut.hidden;
}

} // namespace

Marked markInvisible(const QByteArray& content, const QHash<QByteArray, FontMetrics>& fonts,
                     const Box& page)
{
    return Page(content, fonts, page).run();
}

} // namespace quillmer::printqueue::clippedtext
