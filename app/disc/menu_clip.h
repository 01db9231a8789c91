// The DVD menu clip: the composed menu picture made into a two-second video
// by mencoder (50 pictures at 25 a second), then converted with the main
// window's selected profile into export folder + "DVDMainMenu.mpg".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/disc/menu_picture.h"

inline constexpr const char* kMenuWorkClipName = "DVDMMTMP.mpg";
inline constexpr const char* kMenuClipName = "DVDMainMenu.mpg";
inline constexpr int kMenuClipPictures = 50;

struct RunContext;

struct MenuClipSetup {
    // Runs mencoder; must be set.
    RunContext* context = nullptr;
    std::string exportFolder;
    // The selected profile's video codec ("mpeg2video").
    std::string videoCodec;
    // The main window's conversion with the selected profile.
    std::function<void(const std::string& input, const std::string& output)> convertFile;
};

// "mencoder mf://PICTURE,PICTURE,... -mf w=720:h=480:fps=25:type=jpg -ovc
// lavc -lavcopts vcodec=CODEC:mbd=2:trell -oac copy -o OUTPUT", the picture
// named kMenuClipPictures times.
std::string MenuClipCommand(const std::string& picture, const std::string& videoCodec,
                            const std::string& output);

// Makes the clip and returns its path; the button rectangles go to
// `buttons`. A clip that could not be made is missing (an older one is
// deleted first), and the image build then says so.
std::string MakeMenuClip(const MenuClipSetup& setup, const MenuPictureRequest& request,
                         std::vector<ButtonRect>& buttons);
