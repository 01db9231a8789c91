// One line of an automation script: its command word, the rest as
// written, and the rest split at tabs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ScriptLine {
    std::string command;
    std::string rest;                    // everything after the command word
    std::vector<std::string> arguments;  // `rest` split at tabs
};

ScriptLine ParseScriptLine(std::string_view line);
