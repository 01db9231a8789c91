#include "ui/picture_text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>

struct TextFont::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    long baselinePixels = 0;  // from the top of the cell

    ~Face() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

namespace {

// The file (and the face in it) fontconfig matches to the family and weight.
std::optional<std::pair<std::string, int>> MatchFont(const std::string& family, int weight) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return std::nullopt;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight, 1, 1000)));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    std::optional<std::pair<std::string, int>> found;
    FcChar8* file = nullptr;
    int index = 0;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        found.emplace(reinterpret_cast<const char*>(file), index);
    }
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return found;
}

// Decodes one UTF-8 character at `i`; a byte that starts none stands for
// itself, so bad text still draws something.
char32_t NextCharacter(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC0 ? 2
                                        : 1;
    if (i + length > text.size()) length = 1;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return lead;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    i += length;
    return code;
}

std::uint8_t Blend(std::uint8_t under, std::uint8_t over, unsigned coverage) {
    return static_cast<std::uint8_t>((under * (255 - coverage) + over * coverage + 127) / 255);
}

}  // namespace

TextFont::TextFont(std::unique_ptr<Face> face, std::string filePath)
    : face_(std::move(face)), filePath_(std::move(filePath)) {}
TextFont::~TextFont() = default;
TextFont::TextFont(TextFont&&) noexcept = default;
TextFont& TextFont::operator=(TextFont&&) noexcept = default;

std::optional<TextFont> TextFont::Open(const std::string& family, int weight, int cellHeight,
                                       int averageWidth) {
    if (cellHeight <= 0 || averageWidth < 0) return std::nullopt;
    const auto match = MatchFont(family, weight);
    if (!match) return std::nullopt;
    auto face = std::make_unique<Face>();
    if (FT_Init_FreeType(&face->library) != 0 ||
        FT_New_Face(face->library, match->first.c_str(), match->second, &face->face) != 0) {
        return std::nullopt;
    }
    // Windows maps a cell height to the em by the font's Windows ascent and
    // descent, and an average width to it by the font's average character
    // width; the em may so come out wider than it is high.
    const double unitsPerEm = face->face->units_per_EM > 0 ? face->face->units_per_EM : 2048;
    double cellUnits = face->face->ascender - face->face->descender;
    double ascentUnits = face->face->ascender;
    double averageUnits = unitsPerEm / 2;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face->face, FT_SFNT_OS2))) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            cellUnits = os2->usWinAscent + os2->usWinDescent;
            ascentUnits = os2->usWinAscent;
        }
        if (os2->xAvgCharWidth > 0) averageUnits = os2->xAvgCharWidth;
    }
    if (cellUnits <= 0) cellUnits = unitsPerEm;
    const double emHeight = cellHeight * unitsPerEm / cellUnits;
    const double emWidth = averageWidth > 0 ? averageWidth * unitsPerEm / averageUnits : emHeight;
    if (FT_Set_Char_Size(face->face, std::lround(emWidth * 64), std::lround(emHeight * 64), 72,
                         72) != 0) {
        return std::nullopt;
    }
    face->baselinePixels = std::lround(ascentUnits * emHeight / unitsPerEm);
    return TextFont(std::move(face), match->first);
}

void TextFont::Draw(Picture& picture, int left, int top, std::string_view text, Rgb colour) const {
    FT_Face face = face_->face;
    long penX = left;
    const long baseline = top + face_->baselinePixels;
    for (std::size_t i = 0; i < text.size();) {
        const char32_t character = NextCharacter(text, i);
        if (FT_Load_Char(face, character, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot glyph = face->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        const long glyphLeft = penX + glyph->bitmap_left;
        const long glyphTop = baseline - glyph->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const long y = glyphTop + row;
            if (y < 0 || y >= picture.Height()) continue;
            const unsigned char* coverage = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
            for (unsigned column = 0; column < bitmap.width; ++column) {
                const long x = glyphLeft + column;
                if (x < 0 || x >= picture.Width() || coverage[column] == 0) continue;
                const Rgb under = picture.Pixel(static_cast<int>(x), static_cast<int>(y));
                const unsigned c = coverage[column];
                picture.SetPixel(
                    static_cast<int>(x), static_cast<int>(y),
                    {Blend(under.red, colour.red, c), Blend(under.green, colour.green, c),
                     Blend(under.blue, colour.blue, c)});
            }
        }
        penX += glyph->advance.x >> 6;
    }
}
