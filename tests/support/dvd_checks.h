// What the DVD tools read back from an authored VIDEO_TS folder: lsdvd's
// titles and lengths, and, from dvdunauthor's description and the menu's
// subpicture (spuunmux), the buttons of the main menu and what each does.
#pragma once

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/media_tools.h"
#include "tests/support/temp_dir.h"

namespace test {

// Each title's length in seconds, from "Title: 01, Length: 00:00:02.000".
inline std::vector<double> DvdTitleLengths(const std::string& dvdFolder) {
    std::vector<double> lengths;
    std::istringstream lines(RunTool("lsdvd " + Quoted(dvdFolder)));
    const std::regex title(R"(^Title: \d+, Length: (\d+):(\d+):(\d+\.\d+))");
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, title)) {
            lengths.push_back(std::stoi(m[1]) * 3600 + std::stoi(m[2]) * 60 + std::stod(m[3]));
        }
    }
    return lengths;
}

struct MenuButton {
    int name = 0;
    std::string command;  // "jump title 2;"
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

struct DvdMenu {
    std::vector<MenuButton> buttons;
    std::string description;             // dvdunauthor's XML
    std::vector<std::string> titleEnds;  // each title's <post> commands
};

// Unauthors the folder into `work` (an empty folder) and reads the main
// menu back.
inline DvdMenu ReadDvdMenu(const std::string& videoTs, const std::string& work) {
    DvdMenu menu;
    std::filesystem::create_directories(work);
    RunArguments({"sh", "-c", "cd \"$1\" && dvdunauthor \"$2\" && spuunmux -o sub vob_00m_001.vob",
                  "sh", work, videoTs});
    menu.description = ReadFile(work + "/dvdauthor.xml");
    // <button name="1">\n jump title 1;\n </button>
    const std::regex command(R"re(<button name="(\d+)">\s*([^<]*?)\s*</button>)re");
    for (std::sregex_iterator it(menu.description.begin(), menu.description.end(), command), end;
         it != end; ++it) {
        menu.buttons.push_back({std::stoi((*it)[1]), (*it)[2]});
    }
    const std::regex post(R"re(<post>\s*([^<]*?)\s*</post>)re");
    for (std::sregex_iterator it(menu.description.begin(), menu.description.end(), post), end;
         it != end; ++it) {
        menu.titleEnds.push_back((*it)[1]);
    }
    // The first <post> is the menu's own.
    if (!menu.titleEnds.empty()) menu.titleEnds.erase(menu.titleEnds.begin());
    const std::string subpictures = ReadFile(work + "/sub.xml");
    const std::regex area(
        R"re(<button name="(\d+)" x0="(\d+)" y0="(\d+)" x1="(\d+)" y1="(\d+)")re");
    for (std::sregex_iterator it(subpictures.begin(), subpictures.end(), area), end; it != end;
         ++it) {
        const int name = std::stoi((*it)[1]);
        for (MenuButton& button : menu.buttons) {
            if (button.name != name) continue;
            button.x0 = std::stoi((*it)[2]);
            button.y0 = std::stoi((*it)[3]);
            button.x1 = std::stoi((*it)[4]);
            button.y1 = std::stoi((*it)[5]);
        }
    }
    return menu;
}

}  // namespace test
