// Text drawn onto pictures the way the Windows font mapper sized it: a font
// asked for by family name and weight, with a cell height and an average
// character width in pixels. The installed face nearest to the family is
// used (fontconfig's choice; on Debian "Arial" maps to Liberation Sans,
// which has Arial's metrics, when fonts-liberation is installed).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ui/picture.h"

class TextFont {
public:
    // `weight` on the Windows scale (400 normal, 700 bold, 800 extra bold);
    // an average width of 0 keeps the font's own proportions. Nothing when
    // no font at all can be found or the height is not positive.
    static std::optional<TextFont> Open(const std::string& family, int weight, int cellHeight,
                                        int averageWidth);
    ~TextFont();
    TextFont(TextFont&&) noexcept;
    TextFont& operator=(TextFont&&) noexcept;

    // The font file found for the family.
    const std::string& FilePath() const { return filePath_; }

    // Draws `text` (UTF-8) with the top of its cell at (left, top) and a
    // transparent background; the glyphs' edges are blended. Letters that
    // fall outside the picture are cut off.
    void Draw(Picture& picture, int left, int top, std::string_view text, Rgb colour) const;

private:
    struct Face;
    explicit TextFont(std::unique_ptr<Face> face, std::string filePath);

    std::unique_ptr<Face> face_;
    std::string filePath_;
};
