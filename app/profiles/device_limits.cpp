#include "app/profiles/device_limits.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "app/profiles/conversion_target.h"
#include "app/profiles/value_lists.h"

namespace {

using enum VideoProfile;

// Each entry names where its figures were published. A level is the most a
// device decodes; the level a file carries is the smallest that holds its
// profile (see coding_levels.h).

// Phones of the 3GPP (3GP and 3G2 files).
//  - H.263 Profile 0 Level 45 (QCIF, 15 fps, 128 kbit/s by ITU-T H.263 Annex X)
//    and MPEG-4 Simple Profile Level 3 up to 352 x 288 at 30 fps: 3GPP TS 26.235
//    6.2, the codecs every 3G multimedia terminal decodes
//    (https://itectec.com/spec/6-functional-requirements-2/).
//  - H.264 Constrained Baseline Level 1.2: the video of 3GPP's multimedia
//    telephony (TS 26.114), as TS 26.223 5.2 restates it
//    (https://itecspec.com/spec/3gpp-26-223-5-media-codecs).
//  - AAC-LC up to 48 kHz, mono or stereo; AMR for speech: 3GPP TS 26.234 7.2, 7.3
//    (https://itecspec.com/spec/3gpp-26-234-7-codecs).
constexpr std::array<DeviceVideoLimits, 3> kPhoneVideo = {{
    {"h263", kUnsignalled, 0, 176, 144, 15, 128, 0, ""},
    {"mpeg4", kMpeg4Simple, 3, 352, 288, 30, 384, 0, ""},
    {"h264", kH264Baseline, 12, 352, 288, 30, 384, 0, ""},
}};
constexpr std::array<std::string_view, 3> kPhoneAudio = {"aac", "amr_nb", "amr_wb"};

// iPod with video (fifth generation from firmware 1.2, and the iPod classic)
// and iPhone, as Apple lists them:
//  - H.264 up to 768 kbit/s, 320 x 240, 30 fps, Baseline up to Level 1.3;
//  - H.264 up to 1.5 Mbit/s, 640 x 480, 30 fps, "Low-Complexity" Baseline;
//  - MPEG-4 up to 2.5 Mbit/s, 640 x 480, 30 fps, Simple Profile;
//  - AAC-LC up to 160 kbit/s, 48 kHz
//    (Apple's list as quoted in https://blog.csdn.net/fangjjj/article/details/37692609
//    and, for the fifth generation, http://www.gizmocafe.com/portable-audio/ipod-video.aspx).
//  - "Low-Complexity" is Baseline up to Level 3.0 with one reference frame, and
//    the iPod takes such a file only with Apple's 'uuid' box in it, which
//    ffmpeg's "ipod" format writes
//    (https://ffmpeg.org/pipermail/ffmpeg-devel/2006-September/020405.html).
constexpr std::array<DeviceVideoLimits, 3> kIpodVideo = {{
    {"h264", kH264Baseline, 13, 320, 240, 30, 768, 0, ""},
    {"h264", kH264Baseline, 30, 640, 480, 30, 1500, 1, "ipod"},
    {"mpeg4", kMpeg4Simple, 4, 640, 480, 30, 2500, 0, ""},
}};
constexpr std::array<DeviceVideoLimits, 3> kIphoneVideo = {{
    {"h264", kH264Baseline, 13, 320, 240, 30, 768, 0, ""},
    {"h264", kH264Baseline, 30, 640, 480, 30, 1500, 1, ""},
    {"mpeg4", kMpeg4Simple, 4, 640, 480, 30, 2500, 0, ""},
}};
constexpr std::array<std::string_view, 1> kAacOnly = {"aac"};

// PSP (system software 3.30 and later):
//  - MPEG-4 and AVC only, no video above 768 kbit/s: Sony
//    (http://uk.playstation.com/psp/support/movies/detail/linked239255/item53536/Transfer-video-files-to-your-PSP/);
//  - 480 x 272 from system software 3.30
//    (http://fnord.phfactor.net/2007/04/15/ahh-finally-hi-res-psp-video-encoding/);
//  - H.264 Main Profile up to Level 2.1 with at most 2 reference frames, 30 fps
//    (http://rob.opendot.cl/index.php/useful-stuff/psp-video-guide/);
//  - AAC at 24 or 48 kHz, not 44.1 kHz (http://dryft.net/wiki/geeknotes/pspvideo).
constexpr std::array<DeviceVideoLimits, 2> kPspVideo = {{
    {"h264", kH264Main, 21, 480, 272, 30, 768, 2, ""},
    {"mpeg4", kMpeg4Simple, 4, 480, 272, 30, 768, 0, ""},
}};
constexpr std::array<int, 2> kPspSampleRatesHz = {24000, 48000};

// Zune (and Zune HD), as Microsoft's specification sheets list them:
//  - H.264 Baseline and MPEG-4 Simple Profile up to 2.5 Mbit/s, Windows Media
//    Video up to 3.0 Mbit/s, each up to 720 x 480 at 30 fps or 720 x 576 at 25
//    (http://www.slashgear.com/microsofts-zune-hd-gets-specs-shown-off-1352272/);
//  - AAC-LC and MP3 up to 320 kbit/s and 48 kHz (https://benspark.com/?p=3933).
//  - The device decodes Windows Media Video 9; the Zune software turns other
//    Windows Media Video into it when it copies a file to the device
//    (http://www.zune.net/en-US/support/usersguide/podcasts/create.htm), and
//    ffmpeg writes only versions 7 and 8.
constexpr std::array<DeviceVideoLimits, 10> kZuneVideo = {{
    {"h264", kH264Baseline, 30, 720, 480, 30, 2500, 0, ""},
    {"h264", kH264Baseline, 30, 720, 576, 25, 2500, 0, ""},
    {"mpeg4", kMpeg4Simple, 5, 720, 480, 30, 2500, 0, ""},
    {"mpeg4", kMpeg4Simple, 5, 720, 576, 25, 2500, 0, ""},
    {"wmv1", kUnsignalled, 0, 720, 480, 30, 3000, 0, ""},
    {"wmv1", kUnsignalled, 0, 720, 576, 25, 3000, 0, ""},
    {"wmv2", kUnsignalled, 0, 720, 480, 30, 3000, 0, ""},
    {"wmv2", kUnsignalled, 0, 720, 576, 25, 3000, 0, ""},
    {"wmv3", kUnsignalled, 0, 720, 480, 30, 3000, 0, ""},
    {"wmv3", kUnsignalled, 0, 720, 576, 25, 3000, 0, ""},
}};
constexpr std::array<std::string_view, 2> kZuneAudio = {"aac", "mp3"};

// Every rate of the profile list is at most 48 kHz.
constexpr std::span<const int> kUpTo48kHz = kSampleRatesHz;

constexpr std::array<DeviceLimits, 5> kDevices = {{
    {kTarget3gp, "a 3GP phone", kPhoneVideo, kPhoneAudio, kUpTo48kHz, 0},
    {kTargetIpod, "the iPod", kIpodVideo, kAacOnly, kUpTo48kHz, 160},
    {kTargetPsp, "the PSP", kPspVideo, kAacOnly, kPspSampleRatesHz, 0},
    {kTargetIphone, "the iPhone", kIphoneVideo, kAacOnly, kUpTo48kHz, 160},
    {kTargetZune, "the Zune", kZuneVideo, kZuneAudio, kUpTo48kHz, 320},
}};

// "30", "29.976", "14.985".
std::string Number(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

std::string Size(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string LevelText(VideoProfile profile, const CodingLevel& level) {
    const char* standard = profile == kMpeg4Simple ? "MPEG-4 Simple Profile" : "H.264";
    return std::string(standard) + " level " + std::string(level.name);
}

bool SizeKnown(const VideoShape& shape) { return shape.widthPx > 0 && shape.heightPx > 0; }

VideoShape ShapeOf(const ProfileValues& values) {
    VideoShape shape;
    if (values.widthPx > 0 && values.heightPx > 0) {
        shape.widthPx = values.widthPx;
        shape.heightPx = values.heightPx;
    }
    shape.framesPerSecond = values.framesPerSecond;
    // A bit rate beyond any level still fails every level.
    shape.bitRateKbps =
        static_cast<int>(std::min<long long>(values.videoBitRateKbps, 1'000'000'000));
    return shape;
}

template <typename List, typename Value>
bool Contains(const List& list, const Value& value) {
    for (const auto& entry : list) {
        if (entry == value) return true;
    }
    return false;
}

const CodingLevel* LevelFor(const DeviceVideoLimits& limits, const VideoShape& shape) {
    const std::span<const CodingLevel> levels = LevelsOf(limits.profile);
    if (levels.empty()) return nullptr;
    const CodingLevel* needed = SmallestLevelHolding(levels, shape);
    if (!needed) return &levels.back();
    const CodingLevel* most = LevelNumbered(levels, limits.maxLevel);
    // Without a size the decoder's whole range is signalled.
    if (!SizeKnown(shape) && most && most->number > needed->number) return most;
    return needed;
}

std::vector<std::string> VideoProblems(const DeviceVideoLimits& limits, const ProfileValues& values,
                                       const VideoShape& shape) {
    std::vector<std::string> problems;
    const std::string largest = Size(limits.maxWidthPx, limits.maxHeightPx);
    if (!SizeKnown(shape)) {
        problems.push_back("the frame size follows the input, and it plays up to " + largest);
    } else if (shape.widthPx > limits.maxWidthPx || shape.heightPx > limits.maxHeightPx) {
        problems.push_back("frame size " + Size(shape.widthPx, shape.heightPx) + " is above " +
                           largest);
    }
    if (values.framesPerSecond > limits.maxFramesPerSecond) {
        problems.push_back("frame rate " + std::string(values.frameRate) + " is above " +
                           Number(limits.maxFramesPerSecond));
    }
    if (values.videoBitRateKbps > limits.maxBitRateKbps) {
        problems.push_back("video bit rate " + std::to_string(values.videoBitRateKbps) +
                           " kbit/s is above " + std::to_string(limits.maxBitRateKbps) + " kbit/s");
    }
    const std::span<const CodingLevel> levels = LevelsOf(limits.profile);
    const CodingLevel* most = LevelNumbered(levels, limits.maxLevel);
    if (problems.empty() && most) {
        const CodingLevel* needed = SmallestLevelHolding(levels, shape);
        if (!needed || needed->number > most->number) {
            problems.push_back("it needs more than " + LevelText(limits.profile, *most));
        }
    }
    return problems;
}

std::vector<std::string> AudioProblems(const DeviceLimits& device, const ProfileValues& values) {
    std::vector<std::string> problems;
    if (!values.hasAudio) return problems;
    if (!Contains(device.audioCodecs, values.audioCodec)) {
        problems.push_back("it plays no " + std::string(values.audioCodec) + " sound");
    }
    if (!Contains(device.sampleRatesHz, values.sampleRateHz)) {
        problems.push_back("it plays no sound at " + std::to_string(values.sampleRateHz) + " Hz");
    }
    if (device.maxAudioBitRateKbps > 0 && values.audioBitRateKbps > device.maxAudioBitRateKbps) {
        problems.push_back("sound bit rate " + std::to_string(values.audioBitRateKbps) +
                           " kbit/s is above " + std::to_string(device.maxAudioBitRateKbps) +
                           " kbit/s");
    }
    return problems;
}

}  // namespace

const DeviceLimits* DeviceLimitsOf(int target) {
    for (const DeviceLimits& device : kDevices) {
        if (device.target == target) return &device;
    }
    return nullptr;
}

std::span<const CodingLevel> LevelsOf(VideoProfile profile) {
    switch (profile) {
        case kH264Baseline:
        case kH264Main:
            return H264Levels();
        case kMpeg4Simple:
            return Mpeg4SimpleLevels();
        case kUnsignalled:
            break;
    }
    return {};
}

DeviceFit FitToDevice(int target, const ProfileValues& values) {
    DeviceFit fit;
    fit.device = DeviceLimitsOf(target);
    if (!fit.device) return fit;
    const VideoShape shape = ShapeOf(values);
    // The first entry the profile stays inside, else the largest for its codec.
    for (const DeviceVideoLimits& limits : fit.device->video) {
        if (limits.codec != values.videoCodec) continue;
        fit.video = &limits;
        if (VideoProblems(limits, values, shape).empty()) break;
    }
    if (fit.video) {
        fit.level = LevelFor(*fit.video, shape);
        fit.problems = VideoProblems(*fit.video, values, shape);
    } else {
        fit.problems.push_back("it plays no " + std::string(values.videoCodec) + " video");
    }
    for (std::string& problem : AudioProblems(*fit.device, values)) {
        fit.problems.push_back(std::move(problem));
    }
    return fit;
}

std::string DeviceWarning(const DeviceFit& fit) {
    if (!fit.device || fit.problems.empty()) return {};
    std::string text = "May not play on " + std::string(fit.device->device) + ": ";
    for (std::size_t i = 0; i < fit.problems.size(); ++i) {
        if (i > 0) text += "; ";
        text += fit.problems[i];
    }
    return text;
}
