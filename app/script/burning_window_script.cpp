#include "app/script/burning_window_script.h"

#include <optional>

#include "app/disc/burning_window_model.h"
#include "app/script/automation_script.h"
#include "app/script/script_numbers.h"

namespace {

std::string Click(BurningWindowModel& window, int commandId, std::string_view what) {
    if (!window.IsCommandAvailable(commandId)) return std::string(what) + " cannot be used now";
    window.OnCommand(commandId);
    return {};
}

// A check box set to 0 or 1: clicked when it shows the other value.
std::string SetCheckBox(BurningWindowModel& window, int commandId, bool shown,
                        std::string_view value, std::string_view what) {
    const std::optional<int> wanted = ParseScriptInt(value);
    if (!wanted || (*wanted != 0 && *wanted != 1)) {
        return std::string(what) + " takes 0 or 1, not " + std::string(value);
    }
    if ((*wanted == 1) == shown) return {};
    return Click(window, commandId, what);
}

}  // namespace

std::string RunBurningWindowLine(BurningWindowModel& window, std::string_view rest,
                                 const std::function<void()>& waitForMessages) {
    const std::size_t end = rest.find_first_of(" \t");
    const std::string_view word = rest.substr(0, end);
    const std::string_view value =
        end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (word == "device") {
        const std::optional<int> index = ParseScriptInt(value);
        if (!index || *index < 0 || *index >= static_cast<int>(window.Devices().size())) {
            return "no device " + std::string(value) + " in the device box";
        }
        window.SelectDevice(*index);
        return {};
    }
    if (word == "label") {
        window.SetVolumeLabel(std::string(value));
        return {};
    }
    if (word == "finalize") {
        return SetCheckBox(window, kBurnFinalizeBox, window.Finalize(), value, "\"Finalize\"");
    }
    if (word == "eject") {
        return SetCheckBox(window, kBurnEjectBox, window.EjectAfterBurn(), value,
                           "\"Eject After Burn\"");
    }
    if (word == "now") return Click(window, kCmdBurnNow, "\"Burn Now\"");
    if (word == "cancel") return Click(window, kCmdCancelBurn, "\"Cancel\"");
    if (word == "wait") {
        while (window.Burning() && !window.Closed()) waitForMessages();
        return {};
    }
    return "unknown burn command: " + std::string(word);
}
