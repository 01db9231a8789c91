#include "app/disc/menu_layout.h"

#include <algorithm>

MenuLayout LayOutMenu(int titles) {
    MenuLayout layout;
    if (titles <= 0) return layout;
    // Up to four buttons in one row; up to seven as four and the rest;
    // more in two halves.
    int first = titles;
    if (titles >= 8) {
        first = titles / 2;
    } else if (titles >= 5) {
        first = 4;
    }
    const int second = titles - first;
    layout.columns = std::max(first, second);
    layout.columnWidth = kMenuWidth / layout.columns;
    layout.buttonWidth = 2 * layout.columnWidth / 3;
    const int m = layout.columnWidth;
    for (int i = 0; i < first; ++i) layout.centres.push_back({m / 2 + i * m, m / 2});
    for (int i = 0; i < second; ++i) {
        layout.centres.push_back({m / 2 + i * m, kMenuHeight - m / 2});
    }
    return layout;
}

ButtonRect ButtonAround(MenuPoint centre, int width, int height) {
    return {centre.x - width / 2, centre.y - height / 2, centre.x + width / 2,
            centre.y + height / 2};
}
