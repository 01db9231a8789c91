// A disc image without the burning window: the burning SDK's project filled
// as the window fills it, the image recorder chosen, and "Burn Now" pressed,
// the SDK's events dispatched until it has written its ISO or BIN/CUE file.
#pragma once

#include <string>
#include <vector>

#include "app/disc/disc_kind.h"

class ConsoleSession;

struct ImageRequest {
    std::string programFolder;  // where the SDK is
    std::string exportFolder;   // holds "DVD/VIDEO_TS/" for a DVD
    std::string imageFolder;    // where the image goes
    DiscKind kind = kDvdDisc;
    // The MPEG files of a SuperVCD or VideoCD.
    std::vector<std::string> files;
};

struct ImageRecording {
    std::string file;     // the image written; "" when none was
    std::string failure;  // why not, in the SDK's words
};

ImageRecording RecordImage(const ImageRequest& request, ConsoleSession& session);
