#include "sdk/foximager/title_preparation.h"

#include <array>
#include <cmath>
#include <utility>

namespace foximager {
namespace {

constexpr double kPalRate = 25;
constexpr double kNtscRate = 30000.0 / 1001;
// A DVD's program stream carries at most 10.08 Mbit/s.
constexpr long long kMaxDvdBitRate = 10'080'000;
constexpr double kStandardAspect = 4.0 / 3;
constexpr double kWideAspect = 16.0 / 9;
constexpr int kMaxAudioStreams = 8;

bool Near(double a, double b, double tolerance) { return std::abs(a - b) < tolerance; }

bool IsDvdSize(VideoStandard standard, int width, int height, TitleRole role) {
    const int full = standard == VideoStandard::kPal ? 576 : 480;
    if (role == TitleRole::kMenu) return width == 720 && height == full;
    const std::array<std::pair<int, int>, 4> sizes = {
        {{720, full}, {704, full}, {352, full}, {352, full / 2}}};
    for (const auto& [w, h] : sizes) {
        if (width == w && height == h) return true;
    }
    return false;
}

bool IsDvdAudio(const StreamFacts& audio) {
    return (audio.codec == "ac3" || audio.codec == "mp2" || audio.codec == "pcm_dvd") &&
           audio.sampleRateHz == 48000;
}

}  // namespace

std::string_view StandardName(VideoStandard standard) {
    return standard == VideoStandard::kPal ? "pal" : "ntsc";
}

VideoStandard StandardOf(const MediaFacts& facts) {
    const StreamFacts* video = facts.First("video");
    if (!video) return VideoStandard::kNtsc;
    if (Near(video->frameRate, kPalRate, 0.01) || Near(video->frameRate, 2 * kPalRate, 0.01)) {
        return VideoStandard::kPal;
    }
    if (video->frameRate > 0) return VideoStandard::kNtsc;
    return video->height == 576 || video->height == 288 ? VideoStandard::kPal
                                                        : VideoStandard::kNtsc;
}

PreparationPlan PlanPreparation(const MediaFacts& facts, const ProgramStreamFacts& stream,
                                VideoStandard standard, TitleRole role) {
    PreparationPlan plan;
    const StreamFacts* video = facts.First("video");
    if (!video || video->width <= 0 || video->height <= 0) {
        plan.failure = "it holds no picture";
        return plan;
    }
    if (stream.damagedAt) {
        plan.failure = "it is damaged at byte " + std::to_string(*stream.damagedAt);
        return plan;
    }
    const double pixelAspect = video->pixelAspect > 0 ? video->pixelAspect : 1;
    const double aspect = video->width * pixelAspect / video->height;
    // Only full-width pictures may be 16:9 on a DVD.
    plan.wide = video->width >= 704 && aspect >= (kStandardAspect + kWideAspect) / 2;
    const bool exactAspect = Near(aspect, plan.wide ? kWideAspect : kStandardAspect, 0.01);

    const int audioStreams = facts.Count("audio");
    plan.addSilence = audioStreams == 0;
    plan.copyAudio = audioStreams > 0 && audioStreams <= kMaxAudioStreams;
    for (const StreamFacts& s : facts.streams) {
        if (s.type == "audio" && !IsDvdAudio(s)) plan.copyAudio = false;
    }

    const double rate = standard == VideoStandard::kPal ? kPalRate : kNtscRate;
    const bool videoFits = video->codec == "mpeg2video" &&
                           IsDvdSize(standard, video->width, video->height, role) &&
                           Near(video->frameRate, rate, 0.01) && facts.bitRate <= kMaxDvdBitRate;
    const bool dvdStream =
        stream.startsWithPack && stream.mpeg2Packs && stream.navigationPack && stream.sectorPacks;
    if (!videoFits) {
        plan.how = Preparation::kReencode;
    } else if (dvdStream && exactAspect && plan.copyAudio) {
        plan.how = Preparation::kUseAsItIs;
    } else {
        plan.how = Preparation::kRemux;
        plan.setAspect = !exactAspect;
    }
    return plan;
}

std::vector<std::string> PreparationArguments(const PreparationPlan& plan, VideoStandard standard,
                                              const std::string& input, const std::string& output) {
    std::vector<std::string> words = {"ffmpeg",    "-nostdin", "-v", "error", "-nostats",
                                      "-progress", "pipe:1",   "-y", "-i",    input};
    if (plan.addSilence) {
        words.insert(words.end(), {"-f", "lavfi", "-i", "anullsrc=r=48000:cl=stereo"});
    }
    words.insert(words.end(), {"-map", "0:v:0", "-map", plan.addSilence ? "1:a:0" : "0:a"});
    const std::string aspect = plan.wide ? "16:9" : "4:3";
    if (plan.how == Preparation::kRemux) {
        words.insert(words.end(), {"-c:v", "copy"});
        if (plan.setAspect) {
            words.insert(words.end(), {"-bsf:v", "mpeg2_metadata=display_aspect_ratio=" +
                                                     std::string(plan.wide ? "16/9" : "4/3")});
        }
        if (plan.copyAudio) {
            words.insert(words.end(), {"-c:a", "copy"});
        } else {
            words.insert(words.end(), {"-c:a", "ac3", "-b:a", "192k", "-ar", "48000"});
        }
        words.insert(words.end(), {"-f", "dvd"});
    } else {
        words.insert(words.end(),
                     {"-target", std::string(StandardName(standard)) + "-dvd", "-aspect", aspect});
    }
    if (plan.addSilence) words.push_back("-shortest");
    words.push_back(output);
    return words;
}

}  // namespace foximager
