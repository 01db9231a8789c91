// What the installed ffmpeg (5.1, Debian 12) does with the option texts the
// profiles were written for, where that is not what the profile means, and
// what it is given instead. Every other option is passed exactly as the
// profile names it.
//
// -vcodec xvid
//     ffmpeg: "Unknown encoder 'xvid'".                Given: -vcodec libxvid.
// -s 0x0 ("Original" size)
//     ffmpeg: "Invalid frame size: 0x0."               Given: no -s, the input's size.
// -ab in kbit/s (-ab 128)
//     ffmpeg: "Bitrate 128 is extremely low, maybe you mean 128k".
//                                                      Given: -ab in bit/s (128000).
// -vcodec h264 or mpeg4 for a device target (3GP, iPod, PSP, iPhone, Zune)
//     ffmpeg hands "h264" to libx264 with its own defaults: High profile, B
//     pictures, the input's pixel format, a level x264 guesses; "mpeg4" says
//     Simple Profile level 1 whatever the size and rate. The devices refuse
//     such files.
//     Given, after the profile's options: the device's profile, the smallest
//     level that holds the frame size, rate and bit rate, the device's limit
//     on reference frames, no B pictures in Baseline, 4:2:0 pixels, and a
//     decoder buffer that keeps the bit rate inside the level and the device
//     (DeviceEncoderOptions; the devices' limits are in device_limits.cpp).
// -r 29.976, -r 23.976, -r 14.985 (the NTSC and film rates as the list writes them)
//     ffmpeg: 3747/125, 2997/125 and 2997/200 pictures per second, rates
//     no NTSC player or disc has.               Given: -r 30000/1001,
//                                                      24000/1001, 15000/1001.
// -f mp4 for an iPod file with H.264 larger than 320 x 240
//     The iPod takes such a file only with Apple's 'uuid' box.
//                                                      Given: -f ipod, the same MP4 with it.
//
// Names this ffmpeg has no encoder for under any name ("wmv3", "msmpeg4v1",
// "amr_nb", "amr_wb") are left as they are: the tool answers "Unknown encoder
// 'amr_nb'" and the run is reported as failed, as it always was.
#pragma once

#include <string>
#include <string_view>

#include "app/profiles/device_limits.h"
#include "app/profiles/profile_values.h"

// The encoder name ffmpeg knows for a video codec name of the profile list.
std::string_view EncoderVideoCodec(std::string_view profileCodec);

// The rate ffmpeg is given for a frame-rate text of the profile list.
std::string_view EncoderFrameRate(std::string_view profileRate);

// "Original" (both 0): the frame size is left to the input.
bool KeepsInputFrameSize(int frameWidth, int frameHeight);

// The value of "-ab" for a bit rate of the editor's list.
int AudioBitRateOptionValue(int bitRateKbps);

// The options the device's decoder needs, each preceded by one blank
// (" -profile:v baseline -level 13 ..."); "" for a codec or target without.
std::string DeviceEncoderOptions(const DeviceFit& fit, const ProfileValues& values);

// The output format ffmpeg is to write: the profile's, or the one the
// device needs.
std::string_view EncoderFormatName(const DeviceFit& fit, const ProfileValues& values);
