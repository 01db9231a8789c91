#include "korvan/mpegenc/settings/encoder_messages.h"

namespace korvan {

void ShowMessage(const MessageSink& sink, std::string text, MessageIcon icon) {
    if (sink) sink(EncoderMessage{kApplicationTitle, std::move(text), icon});
}

void ShowMessage(const MessageSink& sink, std::string caption, std::string text, MessageIcon icon) {
    if (sink) sink(EncoderMessage{std::move(caption), std::move(text), icon});
}

void ShowFailure(const MessageSink& sink, const Status& status) {
    if (status.IsOk() || status.IsCancelled() || status.message.empty()) return;
    ShowMessage(sink, status.message, MessageIcon::kError);
}

std::string FillMessage(std::string_view pattern, std::string_view value) {
    std::string text(pattern);
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

}  // namespace korvan
