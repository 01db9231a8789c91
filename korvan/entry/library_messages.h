// The library's message boxes and questions: every text the library shows
// the user, and every choice it asks for, goes through the platform's message
// boxes, which the host presents (tobrin: a real box or dialog with a
// display; without one, standard error, and nobody is asked).
#pragma once

#include <string>

#include "korvan/media/avi_compressor.h"
#include "korvan/mpegenc/settings/encoder_messages.h"

namespace korvan {

// The sink the encoder and the readers are given.
MessageSink LibraryMessageSink();

// A box captioned with the application title.
void ShowLibraryMessage(std::string text, MessageIcon icon = MessageIcon::kNone);

inline constexpr char kCompressorQuestion[] = "Choose the video compressor of the AVI files:";
inline constexpr char kCompressorCaption[] = "Video Compression";

// The AVI writer's compressor dialog as a question to the user: the offered
// compressors by name, the current one selected; the answer keeps the
// current record's other values.
media::CompressorDialog LibraryCompressorDialog();

}  // namespace korvan
