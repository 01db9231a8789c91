// dvdauthor's description of the disc: each title in a title set of its own
// (titles may differ in picture size), and with a menu, a main menu whose
// button n plays title n, shown first and returned to at every title's end.
#pragma once

#include <string>
#include <vector>

#include "sdk/foximager/title_preparation.h"

namespace foximager {

struct AuthoringPlan {
    std::string destination;  // the folder that gets VIDEO_TS
    VideoStandard standard = VideoStandard::kPal;
    std::string menu;  // the menu video with its buttons, or "" for none
    bool wideMenu = false;
    std::vector<std::string> titles;
};

// A pure function of the plan.
std::string AuthoringXml(const AuthoringPlan& plan);

}  // namespace foximager
