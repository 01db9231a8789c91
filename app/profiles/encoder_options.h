// The options a profile gives the encoder ffmpeg, read straight from the
// target's profile file at every call (section "Profile<index>").
//
// A value outside its list (a damaged or hand-edited file) is clamped to the
// nearest entry, so every profile yields a complete command line: Version,
// FrameRate, AudioFormat, AudioFrequency and FileType to their lists,
// AudioChannels to mono or stereo. An AudioBitrate outside 0..14 passes no
// audio bit rate, leaving the encoder's own. A missing file or section reads
// as zeros everywhere.
#pragma once

#include <string>

#include "app/profiles/profile_files.h"

// " -vcodec mpeg4 -s 320x240 -r 29.976 -b 768000 -acodec aac -ab 128000 -ac 2
// -ar 44100 -f mp4 ": every option preceded by one blank, one blank at the
// end. The size is left out for "Original" (0 x 0); AudioBitrate 14 ("No
// audio") gives " -an" in place of " -ab".
std::string BuildEncoderOptions(const ProfileFiles& files, int target, int profileIndex);

// The video codec the profile's options name ("mpeg2video").
std::string ProfileVideoCodec(const ProfileFiles& files, int target, int profileIndex);
