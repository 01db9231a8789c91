// The menu's buttons for spumux: the rectangles moved from the 720 x 480
// menu picture onto the menu video, the highlight pictures (a frame around
// each button, on a transparent picture of the video's size, as a PNG of two
// colours), and spumux's description of them. Pure functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sdk/foximager/disc_description.h"

namespace foximager {

struct FrameColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// Each title's button on a video of this size: scaled, kept inside the
// picture, its top on an even line and its bottom on an odd one (subpictures
// are drawn in fields).
std::vector<ButtonRect> ButtonsOnVideo(const std::vector<DiscTitle>& titles, int videoWidth,
                                       int videoHeight);

// A PNG of the video's size: transparent, with a frame of each title's line
// width (hundredths of a pixel, at least one pixel) around its button.
std::vector<std::uint8_t> ButtonFramesPng(int width, int height,
                                          const std::vector<ButtonRect>& buttons,
                                          const std::vector<DiscTitle>& titles, FrameColour colour);

// spumux's description: one still subpicture from the start with the
// highlight and select pictures and the numbered buttons.
std::string SpumuxXml(const std::string& highlightPng, const std::string& selectPng,
                      const std::vector<ButtonRect>& buttons);

// Text for an XML attribute value or element.
std::string XmlEscaped(const std::string& text);

}  // namespace foximager
