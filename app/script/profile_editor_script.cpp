#include "app/script/profile_editor_script.h"

#include <optional>

#include "app/profiles/profile_editor_model.h"
#include "app/script/script_numbers.h"

namespace {

std::optional<int> CommandOf(std::string_view word) {
    if (word == "save") return kCmdSaveProfiles;
    if (word == "new") return kCmdNewProfile;
    if (word == "delete") return kCmdDeleteProfile;
    if (word == "reload") return kCmdReloadProfiles;
    if (word == "close") return kCmdCloseEditor;
    return std::nullopt;
}

// "LABEL<TAB>VALUE": a field takes VALUE as typed, a list the entry VALUE.
std::string Set(ProfileEditorModel& editor, std::string_view labelAndValue) {
    const std::size_t tab = labelAndValue.find('\t');
    const std::string_view label = labelAndValue.substr(0, tab);
    const std::string_view value =
        tab == std::string_view::npos ? std::string_view() : labelAndValue.substr(tab + 1);
    for (EditorField field : kEditorFields) {
        if (LabelOf(field) != label) continue;
        editor.SetText(field, std::string(value));
        return {};
    }
    for (EditorList list : kEditorLists) {
        if (LabelOf(list) != label) continue;
        const bool usable = (list != EditorList::kFileType || editor.FileTypeVisible()) &&
                            (list != EditorList::kFrequency || editor.FrequencyEnabled());
        if (!usable) return "\"" + std::string(label) + "\" cannot be used now";
        const std::optional<int> index = ParseScriptInt(value);
        if (!index || *index < 0 || *index >= static_cast<int>(EntriesOf(list).size())) {
            return "no entry " + std::string(value) + " in \"" + std::string(label) + "\"";
        }
        editor.SelectEntry(list, *index);
        return {};
    }
    return "no control \"" + std::string(label) + "\" in the profile editor";
}

}  // namespace

EditorLineResult RunProfileEditorLine(ProfileEditorModel& editor, std::string_view rest) {
    const std::size_t end = rest.find_first_of(" \t");
    const std::string_view word = rest.substr(0, end);
    const std::string_view after =
        end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    EditorLineResult result;
    if (const std::optional<int> command = CommandOf(word)) {
        result.message = editor.OnCommand(*command);
    } else if (word == "select") {
        const std::optional<int> index = ParseScriptInt(after);
        if (!index || *index < 0 || *index >= editor.Count()) {
            result.error = "no profile " + std::string(after) + " in the profile editor";
        } else {
            editor.ReleaseSpin(EditorSpin::kProfile, *index);
        }
    } else if (word == "set") {
        result.error = Set(editor, after);
    } else if (word == "open") {
        result.error = "the profile editor is open already";
    } else {
        result.error = "unknown edit-profile command: " + std::string(word);
    }
    return result;
}
