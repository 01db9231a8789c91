#include "app/script/wizard_script.h"

#include <sys/stat.h>

#include <functional>
#include <vector>

#include "app/disc/disc_writer_wizard_model.h"
#include "app/script/script_host.h"
#include "app/script/script_line.h"
#include "app/script/script_numbers.h"

namespace {

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Each path must be a file.
std::string CheckFiles(const std::vector<std::string>& paths) {
    if (paths.empty()) return "no files given";
    for (const std::string& path : paths) {
        if (!IsFile(path)) return "no such file: " + path;
    }
    return {};
}

// Selects entry N of a list and moves it one step.
std::string MoveEntry(const std::string& number, int count, const std::function<void(int)>& select,
                      const std::function<void()>& move) {
    const auto index = ParseScriptInt(number);
    if (!index || *index < 0 || *index >= count) {
        return "no entry " + number + " in the list";
    }
    select(*index);
    move();
    return {};
}

}  // namespace

std::string RunWizardLine(DiscWriterWizardModel& wizard, std::string_view rest, ScriptHost& host) {
    const ScriptLine line = ParseScriptLine(rest);
    const std::string& word = line.command;
    const std::string& after = line.rest;
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
            return "no disc kind " + after;
        }
        return {};
    }
    if (word == "titles" || word == "pictures") {
        if (std::string error = CheckFiles(line.arguments); !error.empty()) return error;
        if (word == "titles") {
            wizard.ChooseTitles(line.arguments);
        } else {
            wizard.ChoosePictures(line.arguments);
        }
        return {};
    }
    if (word == "background") {
        if (!IsFile(after)) return "no such file: " + after;
        // A file that is no picture is passed over, as the dialog does.
        wizard.ChooseBackground(after);
        return {};
    }
    if (word == "preview") {
        if (after.empty()) return "preview: no file given";
        return wizard.SaveMenuPreview(after) ? std::string()
                                             : "cannot save the menu preview to " + after;
    }
    if (word == "select") {
        const auto index = ParseScriptInt(after);
        if (!index || *index < -1 || *index >= titles) return "no title " + after;
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
        const auto seconds = ParseScriptSeconds(after);
        if (!seconds) return "not a number of seconds: " + after;
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
    return "unknown wizard command: " + word;
}
