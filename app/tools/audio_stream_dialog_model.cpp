#include "app/tools/audio_stream_dialog_model.h"

#include "app/tools/tool_runner.h"

std::string AudioStreamId(std::string_view streamLine) {
    const std::size_t open = streamLine.find('[');
    if (open == std::string_view::npos) return {};
    const std::size_t close = streamLine.find(']', open + 1);
    if (close == std::string_view::npos) return {};
    return std::string(streamLine.substr(open + 1, close - open - 1));
}

int InitialAudioStreamIndex(const std::vector<std::string>& streamLines,
                            const std::string& preferredAudioId) {
    if (streamLines.empty()) return -1;
    int index = 0;
    if (preferredAudioId.empty()) return index;
    for (std::size_t i = 0; i < streamLines.size(); ++i) {
        if (AudioStreamId(streamLines[i]) == preferredAudioId) index = static_cast<int>(i);
    }
    return index;
}

std::vector<std::string> PlayArguments(const std::string& file, const std::string& audioId) {
    return {"mplayer", file, "-aid", audioId};
}

AudioStreamDialogModel::AudioStreamDialogModel(RunContext& context, std::string file,
                                               std::vector<std::string> streamLines,
                                               const std::string& preferredAudioId)
    : context_(context),
      file_(std::move(file)),
      streamLines_(std::move(streamLines)),
      selected_(InitialAudioStreamIndex(streamLines_, preferredAudioId)) {}

std::string AudioStreamDialogModel::SelectedAudioId() const {
    if (selected_ < 0) return {};
    return AudioStreamId(streamLines_[static_cast<std::size_t>(selected_)]);
}

void AudioStreamDialogModel::Select(int index) {
    if (index >= 0 && index < static_cast<int>(streamLines_.size())) selected_ = index;
}

void AudioStreamDialogModel::Play() const {
    if (selected_ < 0) return;
    // mplayer's failures are not reported; playing simply ends.
    ToolRunner player(context_, FfmpegOutput);
    player.RunArguments(PlayArguments(file_, SelectedAudioId()));
}
