// The "Select Audio Stream" dialog's state, without any drawing: the audio
// stream lines of a probe, the one selected, and "Play" to listen to it with
// mplayer. The caller reads the selected line when the dialog closes and
// keeps the id in its brackets as the preferred audio id. The Qt dialog
// draws it; tests drive it without a display.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The text between the first "[" of an audio stream line and the first "]"
// after it ("0x81" of "Stream #0:3[0x81]: Audio: ac3, ..."); "" without one.
std::string AudioStreamId(std::string_view streamLine);

// The line a dialog opens on: the last whose id is `preferredAudioId`, else
// the first; -1 when there is no line.
int InitialAudioStreamIndex(const std::vector<std::string>& streamLines,
                            const std::string& preferredAudioId);

// "mplayer FILE -aid ID" as the words mplayer gets: the file is one word,
// whatever its name holds.
std::vector<std::string> PlayArguments(const std::string& file, const std::string& audioId);

struct RunContext;

class AudioStreamDialogModel {
public:
    // "Play" runs mplayer in `context` (not owned).
    AudioStreamDialogModel(RunContext& context, std::string file,
                           std::vector<std::string> streamLines,
                           const std::string& preferredAudioId);

    const std::string& File() const { return file_; }
    const std::vector<std::string>& StreamLines() const { return streamLines_; }
    // -1 when there is no line.
    int SelectedIndex() const { return selected_; }
    // The id of the selected line; "" when there is none.
    std::string SelectedAudioId() const;

    // A selection change in the list; indexes outside it are ignored.
    void Select(int index);
    // "Play": runs mplayer on the file with the selected stream's id and
    // returns when mplayer has ended. Nothing happens without a line.
    void Play() const;
    // "Close".
    void Close() { closed_ = true; }
    bool Closed() const { return closed_; }

private:
    RunContext& context_;
    std::string file_;
    std::vector<std::string> streamLines_;
    int selected_ = -1;
    bool closed_ = false;
};
