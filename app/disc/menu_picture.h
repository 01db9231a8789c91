// The DVD menu's still picture: the background scaled to 720 x 480 with one
// numbered button picture per title at the menu layout's places.
#pragma once

#include <string>
#include <vector>

#include "app/disc/menu_layout.h"
#include "ui/picture.h"

struct MenuPictureRequest {
    // May be missing or not a picture: the menu is then white.
    std::string background;
    // Button n shows picture n, the last one for the buttons past the end;
    // without pictures every button is a white box.
    std::vector<std::string> buttonPictures;
    int titles = 0;
};

struct MenuPicture {
    Picture picture;                  // 720 x 480
    std::vector<ButtonRect> buttons;  // one per title
};

// The Windows font the numbers are drawn in: "Arial", extra bold, a quarter
// of the button width high and an eighth wide. Where Arial is not installed
// the nearest font is used (Liberation Sans on Debian).
inline constexpr const char* kButtonFontFamily = "Arial";
inline constexpr int kButtonFontWeight = 800;
// red 255, green 255, blue 20
inline constexpr Rgb kButtonNumberColour{255, 255, 20};

MenuPicture ComposeMenu(const MenuPictureRequest& request);

// A file that loads as a BMP picture or, failing that, as a JPEG one.
bool LoadsAsPicture(const std::string& path);

// Saves a composed menu as the menu clip takes it (JPEG).
bool SaveMenuPicture(const Picture& picture, const std::string& path);

// The menu composed and saved as JPEG to export folder + "menubgimage.jpg";
// returns that path, or "" when it could not be saved. The rectangles go to
// `buttons`.
std::string ComposeMenuPicture(const MenuPictureRequest& request, const std::string& exportFolder,
                               std::vector<ButtonRect>& buttons);

inline constexpr const char* kMenuPictureName = "menubgimage.jpg";
