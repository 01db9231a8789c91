// The description file "dvdimage.ini" among the writable files that the DVD
// image SDK reads: written key by key and never emptied first, so
// "Selections" alone says how many title sections are valid.
#pragma once

#include <string>
#include <vector>

#include "app/disc/menu_layout.h"

inline constexpr const char* kDvdDescriptionName = "dvdimage.ini";

// One title and no menu: "Menu" is the title, "Selections" 0. False when a
// key could not be written.
bool WriteSingleTitleDescription(const std::string& path, const std::string& title);

// entries[0] is the menu clip (or the only title); entry i + 1 is title i
// with button rectangle i. False when a key could not be written or a
// title has no rectangle.
bool WriteTitlesDescription(const std::string& path, const std::vector<std::string>& entries,
                            const std::vector<ButtonRect>& buttons);
