// The description file "dvdimage.ini": section "Infos" names the menu clip
// (or the only title) under "Menu" and counts the titles under
// "Selections"; sections "0", "1", ... give each title's file and its
// button on the menu picture ("TopLeft" and "RightBottom" as "x,y" in
// pixels of a 720 x 480 picture, "LineWidth" in hundredths of a pixel).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace foximager {

// A DVD holds at most this many titles.
inline constexpr int kMaxTitles = 99;
// The menu picture the button rectangles are given on.
inline constexpr int kMenuPictureWidth = 720;
inline constexpr int kMenuPictureHeight = 480;

struct ButtonRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const ButtonRect&) const = default;
};

struct DiscTitle {
    std::string file;
    ButtonRect button;
    int lineWidth = 500;
};

struct DiscDescription {
    // With titles, the menu clip; without, the disc's only title.
    std::string menu;
    std::vector<DiscTitle> titles;
};

// A pure function of the file's text. Nothing, with the reason in `error`,
// when the description cannot be built: no menu, a count that is not a
// number from 0 to kMaxTitles, a title without a file or without a
// rectangle of positive size.
std::optional<DiscDescription> ParseDiscDescription(std::string_view text, std::string& error);

}  // namespace foximager
