// The glyph boxes of an embedded font program, read with FreeType
// (clippedtext.h).
#include "printqueue/clippedtext.h"

#include <algorithm>
#include <ft2build.h>
#include <optional>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H

namespace quillmer::printqueue::clippedtext {

namespace {

// A FreeType library and one face read from memory that outlives it.
class Face
{
public:
    explicit Face(const QByteArray& program)
    {
        if (FT_Init_FreeType(&m_library) != 0) {
            m_library = nullptr;
            return;
        }
        if (FT_New_Memory_Face(m_library, reinterpret_cast<const FT_Byte*>(program.constData()),
                               FT_Long(program.size()), 0, &m_face) != 0)
            m_face = nullptr;
    }
    ~Face()
    {
        if (m_face)
            FT_Done_Face(m_face);
        if (m_library)
            FT_Done_FreeType(m_library);
    }
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    FT_Face get() const { return m_face; }

private:
    FT_Library m_library = nullptr;
    FT_Face m_face = nullptr;
};

bool selectCharmap(FT_Face face, FT_UShort platform, FT_UShort encoding)
{
    for (FT_Int i = 0; i < face->num_charmaps; ++i) {
        FT_CharMap map = face->charmaps[i];
        if (map->platform_id == platform && map->encoding_id == encoding)
            return FT_Set_Charmap(face, map) == 0;
    }
    return false;
}

// The glyph a code draws, as Ghostscript's PDF interpreter chooses it;
// nothing when that is not known.
class GlyphFinder
{
public:
    GlyphFinder(FT_Face face, const GlyphChoice& choice) : m_face(face), m_choice(choice)
    {
        if (choice.kind == GlyphChoice::Symbolic) {
            m_cmap = selectCharmap(face, 3, 0)   ? Cmap::Symbol
                     : selectCharmap(face, 1, 0) ? Cmap::Mac
                                                 : Cmap::None;
        } else if (choice.kind == GlyphChoice::Named && choice.builtIn) {
            m_builtIn = FT_Select_Charmap(face, FT_ENCODING_ADOBE_CUSTOM) == 0 ||
                        FT_Select_Charmap(face, FT_ENCODING_ADOBE_STANDARD) == 0;
        }
    }

    std::optional<FT_UInt> glyphOf(int code) const
    {
        switch (m_choice.kind) {
        case GlyphChoice::Symbolic:
            if (m_cmap == Cmap::None)
                return FT_UInt(code);
            if (const FT_UInt glyph = FT_Get_Char_Index(m_face, FT_ULong(code)))
                return glyph;
            return m_cmap == Cmap::Symbol ? FT_Get_Char_Index(m_face, FT_ULong(0xf000 | code)) : 0;
        case GlyphChoice::Named:
            if (const auto name = m_choice.names.constFind(code); name != m_choice.names.cend()) {
                if (!FT_HAS_GLYPH_NAMES(m_face))
                    return std::nullopt;
                return FT_Get_Name_Index(m_face, name->constData());
            }
            if (m_builtIn)
                return FT_Get_Char_Index(m_face, FT_ULong(code));
            return std::nullopt;
        case GlyphChoice::Unknown:
            break;
        }
        return std::nullopt;
    }

private:
    enum class Cmap
    {
        None,
        Symbol,
        Mac
    };
    FT_Face m_face;
    const GlyphChoice& m_choice;
    Cmap m_cmap = Cmap::None;
    bool m_builtIn = false;
};

// A glyph's ink, exactly (not its control points), in font units; an empty
// box for a glyph without any.
std::optional<Box> inkOf(FT_Face face, FT_UInt glyph)
{
    if (FT_Load_Glyph(face, glyph,
                      FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP |
                          FT_LOAD_IGNORE_TRANSFORM) != 0)
        return std::nullopt;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return std::nullopt;
    if (face->glyph->outline.n_points == 0)
        return Box{};
    FT_BBox box;
    if (FT_Outline_Get_BBox(&face->glyph->outline, &box) != 0)
        return std::nullopt;
    return Box{double(box.xMin), double(box.yMin), double(box.xMax), double(box.yMax)};
}

} // namespace

bool readGlyphBoxes(const QByteArray& program, const GlyphChoice& choice, FontMetrics* metrics)
{
    const Face holder(program);
    const FT_Face face = holder.get();
    if (!face || !FT_IS_SCALABLE(face) || face->units_per_EM == 0)
        return false;
    const double scale = 1000.0 / face->units_per_EM;
    const auto scaled = [&](const Box& b) {
        return Box{b.x0 * scale, b.y0 * scale, b.x1 * scale, b.y1 * scale};
    };
    metrics->all = scaled({double(face->bbox.xMin), double(face->bbox.yMin),
                           double(face->bbox.xMax), double(face->bbox.yMax)});
    const GlyphFinder finder(face, choice);
    for (int code = 0; code < int(metrics->glyphs.size()); ++code) {
        const auto glyph = finder.glyphOf(code);
        const auto ink = glyph ? inkOf(face, *glyph) : std::nullopt;
        if (!ink)
            continue;
        const Box box = ink->empty() ? Box{} : scaled(*ink);
        metrics->glyphs[size_t(code)] = box;
        if (!box.empty()) // a font's own box that leaves out some ink is widened
            metrics->all = {std::min(metrics->all.x0, box.x0), std::min(metrics->all.y0, box.y0),
                            std::max(metrics->all.x1, box.x1), std::max(metrics->all.y1, box.y1)};
    }
    return true;
}

} // namespace quillmer::printqueue::clippedtext
