// The fixed value lists that a profile's indices point into.
#pragma once

#include <array>
#include <string>
#include <string_view>

inline constexpr std::array<std::string_view, 21> kVideoCodecs = {
    "mpeg4",   "msmpeg4", "msmpeg4v1", "msmpeg4v2", "mpeg1video", "mpeg2video", "wmv1",
    "wmv2",    "wmv3",    "h263",      "h263p",     "rawvideo",   "rv10",       "dvvideo",
    "huffyuv", "ljpeg",   "mjpeg",     "svq1",      "zlib",       "xvid",       "h264"};

// The texts the editor shows; ffmpeg gets EncoderFrameRate's rate for each
// ("29.976" is NTSC's 30000/1001).
inline constexpr std::array<std::string_view, 6> kFrameRates = {"14.985", "23.976", "24",
                                                                "25",     "29.976", "30"};

inline constexpr std::array<std::string_view, 6> kAudioCodecs = {"amr_nb", "amr_wb", "mp3",
                                                                 "aac",    "ac3",    "mp2"};

// The editor's list; the entry after the last bit rate means "No audio".
inline constexpr std::array<int, 14> kAudioBitratesKbps = {32,  48,  56,  64,  80,  96,  112,
                                                           128, 160, 192, 224, 256, 320, 384};
inline constexpr int kNoAudio = 14;

inline constexpr std::array<int, 9> kSampleRatesHz = {48000, 44100, 32000, 24000, 22050,
                                                      16000, 12000, 11025, 8000};

struct FileType {
    std::string_view formatName;     // the encoder's output format
    std::string_view extensionName;  // the output file's extension without "."
};

inline constexpr std::array<FileType, 7> kFileTypes = {{{"3gp", "3gp"},
                                                        {"3g2", "3g2"},
                                                        {"mp4", "mp4"},
                                                        {"psp", "mp4"},
                                                        {"asf", "wmv"},
                                                        {"avi", "avi"},
                                                        {"mpeg", "mpg"}}};

// A list entry, or "" for an index outside the list (the caller decides what
// an unknown index means).
template <typename List>
constexpr auto ValueAt(const List& list, int index) -> typename List::value_type {
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) return {};
    return list[static_cast<std::size_t>(index)];
}

// The encoder's format name of a file type; "" for an index outside the list.
std::string_view FileTypeFormatName(int fileType);
// "." followed by the extension name; "." alone for an index outside the list.
std::string FileTypeExtension(int fileType);
