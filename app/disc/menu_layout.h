// Where the buttons of the DVD menu stand on its 720 x 480 picture: one row
// of up to four buttons, or two rows, each button two thirds of its column
// wide and centred in it.
#pragma once

#include <vector>

inline constexpr int kMenuWidth = 720;
inline constexpr int kMenuHeight = 480;

// A button's rectangle on the menu picture, in pixels.
struct ButtonRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const ButtonRect&) const = default;
};

struct MenuPoint {
    int x = 0;
    int y = 0;
    bool operator==(const MenuPoint&) const = default;
};

struct MenuLayout {
    int columns = 0;
    int columnWidth = 0;  // m
    int buttonWidth = 0;  // b = 2m / 3
    // The buttons' centres, numbered across the first row, then the second.
    std::vector<MenuPoint> centres;
};

// The layout for `titles` buttons; none for none.
MenuLayout LayOutMenu(int titles);

// The rectangle of a button `height` pixels high around its centre.
ButtonRect ButtonAround(MenuPoint centre, int width, int height);
