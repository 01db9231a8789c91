#include "app/disc/menu_picture.h"

#include <sys/stat.h>

#include <optional>

#include "ui/bmp_file.h"
#include "ui/jpeg_file.h"
#include "ui/picture_text.h"

namespace {

constexpr int kMenuJpegQuality = 90;
// Where the number goes on its button picture.
constexpr int kNumberLeft = 5;
constexpr int kNumberTop = 5;

bool Exists(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

std::optional<Picture> LoadPicture(const std::string& path) {
    if (!Exists(path)) return std::nullopt;
    if (auto bmp = LoadBmp(path)) return bmp;
    return LoadJpeg(path);
}

}  // namespace

bool LoadsAsPicture(const std::string& path) { return LoadPicture(path).has_value(); }

MenuPicture ComposeMenu(const MenuPictureRequest& request) {
    MenuPicture menu;
    const std::optional<Picture> background = LoadPicture(request.background);
    menu.picture = background ? Scaled(*background, kMenuWidth, kMenuHeight)
                              : Picture(kMenuWidth, kMenuHeight, kWhite);

    const MenuLayout layout = LayOutMenu(request.titles);
    const int b = layout.buttonWidth;
    const std::optional<TextFont> font =
        TextFont::Open(kButtonFontFamily, kButtonFontWeight, b / 4, b / 8);
    for (std::size_t k = 0; k < layout.centres.size(); ++k) {
        std::optional<Picture> source;
        if (!request.buttonPictures.empty()) {
            source =
                LoadPicture(request.buttonPictures[std::min(k, request.buttonPictures.size() - 1)]);
        }
        const int h =
            source
                ? static_cast<int>(static_cast<long long>(b) * source->Height() / source->Width())
                : b;
        Picture button = source ? Scaled(*source, b, h) : Picture(b, h, kWhite);
        if (font) {
            font->Draw(button, kNumberLeft, kNumberTop, std::to_string(k + 1), kButtonNumberColour);
        }
        const ButtonRect rect = ButtonAround(layout.centres[k], b, h);
        Paste(button, menu.picture, rect.left, rect.top);
        menu.buttons.push_back(rect);
    }
    return menu;
}

bool SaveMenuPicture(const Picture& picture, const std::string& path) {
    return SaveJpeg(path, picture, kMenuJpegQuality);
}

std::string ComposeMenuPicture(const MenuPictureRequest& request, const std::string& exportFolder,
                               std::vector<ButtonRect>& buttons) {
    MenuPicture menu = ComposeMenu(request);
    buttons = std::move(menu.buttons);
    const std::string path = exportFolder + kMenuPictureName;
    return SaveMenuPicture(menu.picture, path) ? path : std::string();
}
