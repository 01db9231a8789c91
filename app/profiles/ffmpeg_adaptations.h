// What the installed ffmpeg (5.1, Debian 12) refuses of the option texts the
// profiles were written for, and what it is given instead. Every other option
// is passed exactly as the profile names it.
//
// | Profile's option            | ffmpeg 5.1 prints                                   | Given
// instead          |
// |-----------------------------|-----------------------------------------------------|------------------------|
// | -vcodec xvid                | Unknown encoder 'xvid'                              | -vcodec
// libxvid        | | -s 0x0 ("Original" size)    | Invalid frame size: 0x0. | no -s: the input's
// size| | -ab in kbit/s (-ab 128)     | Bitrate 128 is extremely low, maybe you mean 128k   | -ab
// in bit/s (128000)  |
//
// Names this ffmpeg has no encoder for under any name ("wmv3", "msmpeg4v1",
// "amr_nb", "amr_wb") are left as they are: the tool answers "Unknown encoder
// 'amr_nb'" and the run is reported as failed, as it always was.
#pragma once

#include <string_view>

// The encoder name ffmpeg knows for a video codec name of the profile list.
std::string_view EncoderVideoCodec(std::string_view profileCodec);

// "Original" (both 0): the frame size is left to the input.
bool KeepsInputFrameSize(int frameWidth, int frameHeight);

// The value of "-ab" for a bit rate of the editor's list.
int AudioBitRateOptionValue(int bitRateKbps);
