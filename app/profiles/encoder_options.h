// The options a profile gives the encoder ffmpeg. A run reads its profile
// once from the target's profile file (section "Profile<index>") and
// converts every file with that; values outside their lists are clamped as
// ReadProfileValues says, so every profile yields a complete command line.
#pragma once

#include <string>

#include "app/profiles/profile_files.h"
#include "app/profiles/profile_values.h"
#include "app/tools/media_info.h"

// One profile of a target as a run converts with it.
struct EncoderProfile {
    int target = 0;
    int index = 0;
    // The file type's number as the file has it (the output's extension).
    int fileType = 0;
    ProfileValues values;
};

EncoderProfile ReadEncoderProfile(const ProfileFiles& files, int target, int profileIndex);

// " -vcodec mpeg4 -s 320x240 -r 30000/1001 -b 768000 -acodec aac -ab 128000 -ac 2
// -ar 44100 -f mp4 ": every option preceded by one blank, one blank at the
// end. The size is left out for "Original" (0 x 0); AudioBitrate 14 ("No
// audio") gives " -an" in place of " -ab". For the device targets the
// options the device's decoder needs follow (ffmpeg_adaptations.h): " ... -f
// mp4 -profile:v baseline -level 13 -pix_fmt yuv420p -bf 0 -maxrate 768000
// -bufsize 2000000 ". The DVD target's SuperVCD and VideoCD profiles start
// with ffmpeg's disc target (" -target pal-svcd ...") and leave out "-f".
std::string EncoderOptions(const EncoderProfile& profile);
std::string BuildEncoderOptions(const ProfileFiles& files, int target, int profileIndex);

// The options for converting one source: the profile's, with what that
// source needs to come out right on the target around them (source_fit.h):
// " -f lavfi -i anullsrc=r=48000:cl=stereo -vcodec ... -f psp -vf
// scale=... -shortest ". Exactly the profile's options where the source
// already fits.
std::string SourceOptions(const EncoderProfile& profile, const MediaInfo& source);

// The video codec the profile's options name ("mpeg2video").
std::string ProfileVideoCodec(const EncoderProfile& profile);
std::string ProfileVideoCodec(const ProfileFiles& files, int target, int profileIndex);

// The status line's warning for a profile whose files may not play on the
// target's device ("May not play on the PSP: ..."), or "".
std::string DeviceLimitWarning(const EncoderProfile& profile);
std::string DeviceLimitWarning(const ProfileFiles& files, int target, int profileIndex);
