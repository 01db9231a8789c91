#include "app/shell/window_state_json.h"

#include <cstdio>

#include "app/shell/main_window_model.h"

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

class ObjectWriter {
public:
    void Add(const char* key, const std::string& valueJson) {
        json_ += json_.empty() ? "{\n" : ",\n";
        json_ += "  \"";
        json_ += key;
        json_ += "\": " + valueJson;
    }
    void Add(const char* key, int value) { Add(key, std::to_string(value)); }
    void AddBool(const char* key, bool value) { Add(key, std::string(value ? "true" : "false")); }
    void AddText(const char* key, const std::string& text) { Add(key, JsonString(text)); }
    void AddTexts(const char* key, const std::vector<std::string>& texts) {
        Add(key, JsonStrings(texts));
    }
    std::string Finish() { return json_ + "\n}\n"; }

private:
    std::string json_;
};

}  // namespace

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

std::string WindowStateJson(const MainWindowModel& model, const ScriptRecord& record) {
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
    state.Add("merge", model.Merge());
    state.AddBool("dvd_source_mode", model.DvdSourceMode());
    state.AddText("dvd_audio_stream", model.DvdAudioStreamId());
    state.AddBool("converting", model.Converting());
    state.AddText("convert_caption", model.ConvertCaption());
    state.Add("progress", model.Progress());
    state.AddTexts("status", {model.StatusTexts().begin(), model.StatusTexts().end()});
    state.AddTexts("failed", model.FailedInputs());
    state.AddTexts("status_log", model.StatusLog());
    state.Add("width", record.width);
    state.Add("height", record.height);
    state.AddText("error", record.error);
    state.AddTexts("messages", record.messages);
    return state.Finish();
}
