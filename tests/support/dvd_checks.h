// What the DVD tools read back from an authored VIDEO_TS folder: lsdvd's
// titles and lengths, and, from dvdunauthor's description and the menu's
// subpicture (spuunmux), the buttons of the main menu and what each does.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
    for (std::string line; std::getline(lines, line);) {
        int hours = 0, minutes = 0;
        double seconds = 0;
        if (line.starts_with("Title: ") &&
            std::sscanf(line.c_str(), "Title: %*d, Length: %d:%d:%lf", &hours, &minutes,
                        &seconds) == 3) {
            lengths.push_back(hours * 3600 + minutes * 60 + seconds);
        }
    }
    return lengths;
}

// Each element of `xml` that holds only text and whose start tag begins
// with `start`: the rest of its start tag, and its text without the blanks
// around it. ("<post>\n call vmgm menu 1;\n </post>" gives "" and
// "call vmgm menu 1;" for "<post".)
struct TextElement {
    std::string restOfStartTag;
    std::string text;
};

inline std::vector<TextElement> TextElements(const std::string& xml, const std::string& start) {
    const std::string end = "</" + start.substr(1, start.find_first_of(" >") - 1) + ">";
    std::vector<TextElement> elements;
    for (std::size_t at = xml.find(start); at != std::string::npos; at = xml.find(start, at + 1)) {
        const std::size_t tagEnd = xml.find('>', at + start.size());
        const std::size_t textEnd = tagEnd == std::string::npos ? tagEnd : xml.find('<', tagEnd);
        if (textEnd == std::string::npos) break;
        if (xml.compare(textEnd, end.size(), end) != 0) continue;
        const std::string text = xml.substr(tagEnd + 1, textEnd - tagEnd - 1);
        const std::size_t first = text.find_first_not_of(" \t\r\n");
        const std::size_t last = text.find_last_not_of(" \t\r\n");
        elements.push_back(
            {xml.substr(at + start.size(), tagEnd - at - start.size()),
             first == std::string::npos ? "" : text.substr(first, last - first + 1)});
    }
    return elements;
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
    for (const TextElement& button : TextElements(menu.description, "<button name=\"")) {
        const std::string& name = button.restOfStartTag;  // 1"
        if (name.size() < 2 || name.find_first_not_of("0123456789") != name.size() - 1 ||
            name.back() != '"') {
            continue;
        }
        menu.buttons.push_back({std::atoi(name.c_str()), button.text});
    }
    for (const TextElement& post : TextElements(menu.description, "<post")) {
        menu.titleEnds.push_back(post.text);
    }
    // The first <post> is the menu's own.
    if (!menu.titleEnds.empty()) menu.titleEnds.erase(menu.titleEnds.begin());
    // <button name="1" x0="40" y0="48" x1="200" y1="193" ...
    const std::string subpictures = ReadFile(work + "/sub.xml");
    for (std::size_t at = subpictures.find("<button "); at != std::string::npos;
         at = subpictures.find("<button ", at + 1)) {
        MenuButton area;
        if (std::sscanf(subpictures.c_str() + at,
                        "<button name=\"%d\" x0=\"%d\" y0=\"%d\" x1=\"%d\" y1=\"%d\"", &area.name,
                        &area.x0, &area.y0, &area.x1, &area.y1) != 5) {
            continue;
        }
        for (MenuButton& button : menu.buttons) {
            if (button.name != area.name) continue;
            button.x0 = area.x0;
            button.y0 = area.y0;
            button.x1 = area.x1;
            button.y1 = area.y1;
        }
    }
    return menu;
}

}  // namespace test
