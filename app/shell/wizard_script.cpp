#include "app/shell/wizard_script.h"

#include <sys/stat.h>

#include <charconv>
#include <functional>
#include <optional>
#include <vector>

#include "app/disc/disc_writer_wizard_model.h"
#include "app/shell/automation_script.h"

namespace {

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::optional<double> ParseSeconds(std::string_view text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end || !(value > 0) || value > 86400) return std::nullopt;
    return value;
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The tab-separated paths, each of which must be a file.
std::string Paths(std::string_view text, std::vector<std::string>& paths) {
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t tab = text.find('\t', from);
        if (tab == std::string_view::npos) tab = text.size();
        if (tab > from) paths.emplace_back(text.substr(from, tab - from));
        from = tab + 1;
    }
    if (paths.empty()) return "no files given";
    for (const std::string& path : paths) {
        if (!IsFile(path)) return "no such file: " + path;
    }
    return {};
}

// Selects entry N of a list and moves it one step.
std::string MoveEntry(std::string_view number, int count, const std::function<void(int)>& select,
                      const std::function<void()>& move) {
    const auto index = ParseInt(number);
    if (!index || *index < 0 || *index >= count) {
        return "no entry " + std::string(number) + " in the list";
    }
    select(*index);
    move();
    return {};
}

}  // namespace

std::string RunWizardLine(DiscWriterWizardModel& wizard, std::string_view rest, ScriptHost& host) {
    const std::size_t end = rest.find_first_of(" \t");
    const std::string_view word = rest.substr(0, end);
    const std::string_view after =
        end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    const int titles = static_cast<int>(wizard.Titles().size());
    const int pictures = static_cast<int>(wizard.Pictures().size());
    const auto selectTitle = [&wizard](int i) { wizard.SelectTitle(i); };
    const auto selectPicture = [&wizard](int i) { wizard.SelectPicture(i); };

    if (word == "kind") {
        if (after == "dvd") {
            wizard.SelectKind(kDvdDisc);
        } else if (after == "svcd") {
            wizard.SelectKind(kSuperVcdDisc);
        } else if (after == "vcd") {
            wizard.SelectKind(kVideoCdDisc);
        } else {
            return "no disc kind " + std::string(after);
        }
        return {};
    }
    if (word == "titles" || word == "pictures") {
        std::vector<std::string> paths;
        if (std::string error = Paths(after, paths); !error.empty()) return error;
        if (word == "titles") {
            wizard.ChooseTitles(paths);
        } else {
            wizard.ChoosePictures(paths);
        }
        return {};
    }
    if (word == "background") {
        const std::string path(after);
        if (!IsFile(path)) return "no such file: " + path;
        // A file that is no picture is passed over, as the dialog does.
        wizard.ChooseBackground(path);
        return {};
    }
    if (word == "select") {
        const auto index = ParseInt(after);
        if (!index || *index < -1 || *index >= titles) return "no title " + std::string(after);
        wizard.SelectTitle(*index);
        return {};
    }
    if (word == "up") return MoveEntry(after, titles, selectTitle, [&] { wizard.MoveTitleUp(); });
    if (word == "down") {
        return MoveEntry(after, titles, selectTitle, [&] { wizard.MoveTitleDown(); });
    }
    if (word == "picture-up") {
        return MoveEntry(after, pictures, selectPicture, [&] { wizard.MovePictureUp(); });
    }
    if (word == "picture-down") {
        return MoveEntry(after, pictures, selectPicture, [&] { wizard.MovePictureDown(); });
    }
    if (word == "remove-titles") {
        wizard.RemoveTitles();
        return {};
    }
    if (word == "remove-pictures") {
        wizard.RemovePictures();
        return {};
    }
    if (word == "stop-after") {
        const auto seconds = ParseSeconds(after);
        if (!seconds) return "not a number of seconds: " + std::string(after);
        host.CallLater([&wizard] { wizard.Stop(); }, static_cast<int>(*seconds * 1000));
        return {};
    }
    if (word == "next") {
        if (!wizard.NextEnabled()) return "\"Next\" cannot be used now";
        wizard.Next();
        host.CancelClickLater();
        return {};
    }
    if (word == "stop") {
        if (!wizard.StopEnabled()) return "\"Stop\" cannot be used now";
        wizard.Stop();
        return {};
    }
    if (word == "close") {
        wizard.Close();
        return {};
    }
    if (word == "open") return "the wizard is open already";
    return "unknown wizard command: " + std::string(word);
}
