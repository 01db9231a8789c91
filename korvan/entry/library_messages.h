// The library's message boxes: every text the library shows the user goes
// through the platform's message boxes, which the host presents (tobrin: a
// real box with a display, standard error without one).
#pragma once

#include <string>

#include "korvan/mpegenc/settings/encoder_messages.h"

namespace korvan {

// The sink the encoder and the readers are given.
MessageSink LibraryMessageSink();

// A box captioned with the application title.
void ShowLibraryMessage(std::string text, MessageIcon icon = MessageIcon::kNone);

}  // namespace korvan
