// The one way the encoder speaks to the user. On the desktop its messages were
// modal message boxes captioned with the application title; Korvan has no
// windows of its own, so whoever drives the encoder supplies the sink: the job
// driver shows them in its dialog, the command-line tool prints them, tests
// record them.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "korvan/base/status.h"

namespace korvan {

// The caption of every message, and the section of the per-user profile that
// holds the encoder's user values.
inline constexpr char kApplicationTitle[] = "Zarvo - AVI/DVD/VCD/SVCD/MPEG Converter";

enum class MessageIcon { kNone, kError, kWarning, kQuestion };

struct EncoderMessage {
    std::string caption;
    std::string text;
    MessageIcon icon = MessageIcon::kNone;
};

using MessageSink = std::function<void(const EncoderMessage&)>;

// Hands the text to the sink with the application title as caption; an empty
// sink drops it.
void ShowMessage(const MessageSink& sink, std::string text, MessageIcon icon = MessageIcon::kNone);

// The same with a caption of the caller's (the media layer's messages are
// captioned with what failed).
void ShowMessage(const MessageSink& sink, std::string caption, std::string text, MessageIcon icon);

// The message of a step that failed, when it has one, as an error; a
// cancel shows nothing.
void ShowFailure(const MessageSink& sink, const Status& status);

// `pattern` with its one "%s" replaced by `value`, as the messages that name
// a file or a value are written.
std::string FillMessage(std::string_view pattern, std::string_view value);

}  // namespace korvan
