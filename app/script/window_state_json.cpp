#include "app/script/window_state_json.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "app/disc/burning_window_model.h"
#include "app/disc/disc_writer_wizard_model.h"
#include "app/profiles/profile_editor_model.h"
#include "app/tools/activity_log.h"
#include "app/tools/audio_stream_dialog_model.h"
#include "app/tools/run_context.h"
#include "app/window/main_window_model.h"

namespace {

// The length of the UTF-8 sequence at `i`, or 0 when it is not one.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned int minimum = 0;
    unsigned int code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (byte(i + k) & 0x3Fu);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code >= minimum && code <= 0x10FFFF && !surrogate ? length : 0;
}

std::string JsonStrings(const std::vector<std::string>& texts) {
    std::string json = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) json += ", ";
        json += JsonString(texts[i]);
    }
    return json + "]";
}

// One JSON object; `depth` is how deep it is nested, for the indentation.
class ObjectWriter {
public:
    explicit ObjectWriter(int depth = 1)
        : indent_(static_cast<std::size_t>(2 * depth), ' '),
          closingIndent_(static_cast<std::size_t>(2 * depth - 2), ' ') {}

    void Add(std::string_view key, const std::string& valueJson) {
        json_ += json_.empty() ? "{\n" : ",\n";
        json_ += indent_ + JsonString(std::string(key)) + ": " + valueJson;
    }
    void Add(std::string_view key, int value) { Add(key, std::to_string(value)); }
    void AddBool(std::string_view key, bool value) {
        Add(key, std::string(value ? "true" : "false"));
    }
    void AddText(std::string_view key, const std::string& text) { Add(key, JsonString(text)); }
    void AddTexts(std::string_view key, const std::vector<std::string>& texts) {
        Add(key, JsonStrings(texts));
    }
    std::string Finish() const {
        return json_.empty() ? "{}" : json_ + "\n" + closingIndent_ + "}";
    }

private:
    std::string indent_;
    std::string closingIndent_;
    std::string json_;
};

// The profile editor as the user sees it: its fields by label, its lists'
// selected entries (-1: none) and their texts.
std::string ProfileEditorJson(const ProfileEditorModel& editor) {
    ObjectWriter object(2);
    object.AddText("title", editor.Title());
    object.Add("target", editor.Target());
    object.AddText("profile", editor.ProfileText());
    object.Add("count", editor.Count());
    object.Add("current", editor.CurrentIndex());
    ObjectWriter fields(3);
    for (EditorField field : kEditorFields) fields.AddText(LabelOf(field), editor.Text(field));
    object.Add("fields", fields.Finish());
    ObjectWriter lists(3);
    ObjectWriter listTexts(3);
    for (EditorList list : kEditorLists) {
        const int selection = editor.Selection(list);
        lists.Add(LabelOf(list), selection);
        const std::vector<std::string> entries = EntriesOf(list);
        listTexts.AddText(LabelOf(list),
                          selection < 0 ? "" : entries[static_cast<std::size_t>(selection)]);
    }
    object.Add("lists", lists.Finish());
    object.Add("list_texts", listTexts.Finish());
    object.AddBool("file_type_visible", editor.FileTypeVisible());
    object.AddBool("frequency_enabled", editor.FrequencyEnabled());
    return object.Finish();
}

std::string AudioDialogJson(const AudioStreamDialogModel& dialog) {
    ObjectWriter object(2);
    object.AddText("file", dialog.File());
    object.AddTexts("lines", dialog.StreamLines());
    object.Add("selection", dialog.SelectedIndex());
    return object.Finish();
}

std::string ShownName(WindowShown shown) {
    switch (shown) {
        case WindowShown::kMinimized:
            return "minimized";
        case WindowShown::kInSystemTray:
            return "system tray";
        case WindowShown::kOnScreen:
            break;
    }
    return "on screen";
}

}  // namespace

std::string BurningWindowJson(const BurningWindowModel& window, bool open) {
    ObjectWriter object(2);
    object.AddBool("open", open);
    object.Add("kind", static_cast<int>(window.Kind()));
    object.AddTexts("files", window.Files());
    object.AddTexts("devices", window.Devices());
    object.Add("device", window.SelectedDevice());
    object.AddText("label", window.VolumeLabel());
    object.AddBool("eject", window.EjectAfterBurn());
    object.AddBool("finalize", window.Finalize());
    object.AddText("information", window.InformationText());
    object.AddTexts("messages", window.Messages());
    object.Add("scan_state", window.ScanStateValue());
    std::string tree = "[";
    for (const FileTreeEntry& entry : window.FileTree()) {
        ObjectWriter item(4);
        item.AddText("name", entry.name);
        item.AddTexts("lines", entry.lines);
        item.AddBool("expanded", entry.expanded);
        tree += (tree.size() > 1 ? ", " : "") + item.Finish();
    }
    object.Add("tree", tree + "]");
    object.Add("progress", window.Progress());
    object.AddText("buffer", window.BufferText());
    object.AddBool("buffer_shown", window.BufferShown());
    object.AddText("bytes_written", window.BytesWrittenText());
    object.AddBool("burning", window.Burning());
    object.AddBool("burn_now_enabled", window.BurnNowEnabled());
    object.Add("result", window.Result());
    return object.Finish();
}

std::string JsonString(const std::string& text) {
    std::string json = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else if (c >= 0x80) {
            const std::size_t length = Utf8SequenceLength(text, i);
            json += length ? text.substr(i, length) : "\xEF\xBF\xBD";
            i += length ? length : 1;
            continue;
        } else {
            json += static_cast<char>(c);
        }
        ++i;
    }
    return json + "\"";
}

// The disc-writer wizard: the kind ("dvd", "svcd", "vcd"), the lists, the
// button rectangles as [left, top, right, bottom], and the build.
std::string WizardJson(const DiscWriterWizardModel& wizard) {
    constexpr std::array<const char*, 3> kKinds = {"dvd", "svcd", "vcd"};
    ObjectWriter object(2);
    object.AddBool("open", !wizard.Closed());
    object.AddText("kind", kKinds[static_cast<std::size_t>(wizard.Kind())]);
    object.AddTexts("titles", wizard.Titles());
    object.Add("title_selection", wizard.SelectedTitle());
    object.AddTexts("pictures", wizard.Pictures());
    object.Add("picture_selection", wizard.SelectedPicture());
    object.AddText("background", wizard.Background());
    object.AddTexts("refused_titles", wizard.RefusedTitles());
    object.AddTexts("refused_pictures", wizard.RefusedPictures());
    object.AddBool("titles_chosen", wizard.TitlesChosen());
    object.AddText("preview_file", wizard.MenuPreviewFile());
    std::string buttons = "[";
    for (const ButtonRect& b : wizard.ButtonRects()) {
        if (buttons.size() > 1) buttons += ", ";
        buttons += "[" + std::to_string(b.left) + ", " + std::to_string(b.top) + ", " +
                   std::to_string(b.right) + ", " + std::to_string(b.bottom) + "]";
    }
    object.Add("buttons", buttons + "]");
    object.AddBool("building", wizard.Building());
    object.AddBool("next_enabled", wizard.NextEnabled());
    object.AddBool("stop_enabled", wizard.StopEnabled());
    object.Add("progress", wizard.Progress());
    object.Add("progress_maximum", wizard.ProgressMaximum());
    object.Add("elapsed", wizard.ElapsedSeconds());
    object.AddText("status", wizard.Status());
    object.AddTexts("status_log", wizard.StatusLog());
    object.AddText("built_folder", wizard.BuiltFolder());
    return object.Finish();
}

std::string WindowStateJson(const MainWindowModel& model, const ScriptRecord& record,
                            const ActivityLog& log) {
    ObjectWriter state;
    state.AddText("title", model.Title());
    state.Add("target", model.Target());
    std::vector<std::string> profiles;
    const ProfileTable& table = model.CurrentProfiles();
    for (int i = 0; i < table.count; ++i) {
        profiles.push_back(table.profiles[static_cast<std::size_t>(i)].name);
    }
    state.AddTexts("profiles", profiles);
    state.Add("profile", model.SelectedProfile());
    state.AddText("profile_label", model.ProfileLabel());
    state.AddTexts("files", model.FileListTexts());
    state.AddTexts("paths", model.Files());
    state.Add("selection", model.SelectedFile());
    state.AddText("output_label", model.OutputLabel());
    state.AddText("output_name", model.OutputNameText());
    state.AddText("export_folder", model.ExportFolder());
    state.Add("merge", model.Merge() ? 1 : 0);
    state.AddBool("dvd_source_mode", model.DvdSourceMode());
    state.AddText("dvd_audio_stream", model.DvdAudioStreamId());
    state.AddBool("converting", model.Converting());
    state.AddText("convert_caption", model.ConvertCaption());
    state.Add("progress", model.Progress());
    state.Add("progress_maximum", model.ProgressMaximum());
    state.AddTexts("status", {model.StatusTexts().begin(), model.StatusTexts().end()});
    state.AddTexts("failed", model.FailedInputs());
    state.AddTexts("status_log", model.StatusLog());
    state.AddText("notification", model.LastNotification());
    state.AddText("shown", ShownName(model.Shown()));
    state.Add("log_runs", log.RunCount());
    std::string progressLog = "[";
    for (std::size_t i = 0; i < model.ProgressLog().size(); ++i) {
        progressLog += (i > 0 ? ", " : "") + std::to_string(model.ProgressLog()[i]);
    }
    state.Add("progress_log", progressLog + "]");
    state.AddTexts("job_tips", model.JobTipLog());
    state.AddText("stopped", model.StoppedInput());
    state.Add("width", record.width);
    state.Add("height", record.height);
    state.AddText("error", record.error);
    state.AddTexts("messages", record.messages);
    state.Add("profile_editor",
              record.profileEditor ? ProfileEditorJson(*record.profileEditor) : "null");
    state.Add("audio_dialog", record.audioDialog ? AudioDialogJson(*record.audioDialog) : "null");
    const std::string& closedWizard = record.closedWizardJson;
    state.Add("wizard", record.wizard          ? WizardJson(*record.wizard)
                        : closedWizard.empty() ? std::string("null")
                                               : closedWizard);
    if (record.burningWindow) {
        state.Add("burning", BurningWindowJson(*record.burningWindow, true));
    } else {
        state.Add("burning", record.closedBurningWindowJson.empty()
                                 ? std::string("null")
                                 : record.closedBurningWindowJson);
    }
    return state.Finish() + "\n";
}
