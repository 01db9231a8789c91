#include "app/profiles/source_fit.h"

#include <cmath>
#include <cstdlib>
#include <numeric>

#include "app/profiles/conversion_target.h"
#include "app/profiles/disc_profiles.h"
#include "app/profiles/ffmpeg_adaptations.h"

namespace {

// Shapes closer than this are the same picture; a bare frame size keeps
// them (ffmpeg's scaler carries the shape over in the pixel shape).
constexpr double kSameShapeTolerance = 0.01;

bool IsInterlaced(FieldOrder order) {
    return order == FieldOrder::kTopFirst || order == FieldOrder::kBottomFirst;
}

bool HasPicture(const MediaInfo& source) {
    return !source.videoCodec.empty() && source.picture.widthPx > 0 && source.picture.heightPx > 0;
}

// The disc players and the PSP take no file without sound: ffmpeg's PSP
// muxer refuses one ("PSP mode need one video and one audio stream") and
// vcdimager warns "this VCD type requires an audio stream to be present".
bool NeedsSound(int target) { return target == kTargetPsp || target == kTargetDvd; }

// Frames of the DVD target that may be shown at 16:9: full-width DVD
// pictures and SuperVCD.
bool AllowsWide(const ProfileValues& values, int profileIndex) {
    if (IsVideoCdProfile(profileIndex)) return false;
    return IsSuperVcdProfile(profileIndex) || values.widthPx >= 704;
}

int EvenAtLeastTwo(double value) {
    const int even = 2 * static_cast<int>(std::lround(value / 2));
    return even < 2 ? 2 : even;
}

std::string Ratio(long long width, long long height) {
    const long long divisor = std::gcd(width, height);
    return std::to_string(width / divisor) + "/" + std::to_string(height / divisor);
}

std::string Deinterlacer(FieldOrder order) {
    // One picture per frame, so the profile's rate means what it says.
    return std::string("bwdif=mode=send_frame:parity=") +
           (order == FieldOrder::kTopFirst ? "tff" : "bff") + ":deint=all";
}

// Scales the picture to its shape inside the frame, fills the rest with
// black, and gives the frame its pixel shape.
std::string FitFilters(const FrameShape& frame, double shape) {
    const double frameShape = static_cast<double>(frame.aspectWidth) / frame.aspectHeight;
    int widthPx = frame.widthPx;
    int heightPx = frame.heightPx;
    if (shape > frameShape) {
        heightPx = std::min(frame.heightPx, EvenAtLeastTwo(frame.heightPx * frameShape / shape));
    } else {
        widthPx = std::min(frame.widthPx, EvenAtLeastTwo(frame.widthPx * shape / frameShape));
    }
    std::string filters = "scale=" + std::to_string(widthPx) + ":" + std::to_string(heightPx);
    if (widthPx != frame.widthPx || heightPx != frame.heightPx) {
        // Even offsets keep the chroma of 4:2:0 pictures aligned.
        filters += ",pad=" + std::to_string(frame.widthPx) + ":" + std::to_string(frame.heightPx) +
                   ":" + std::to_string((frame.widthPx - widthPx) / 4 * 2) + ":" +
                   std::to_string((frame.heightPx - heightPx) / 4 * 2);
    }
    return filters + ",setsar=" +
           Ratio(static_cast<long long>(frame.aspectWidth) * frame.heightPx,
                 static_cast<long long>(frame.aspectHeight) * frame.widthPx);
}

}  // namespace

double DisplayShape(const PictureFacts& picture) {
    if (picture.widthPx <= 0 || picture.heightPx <= 0) return 0;
    const double shape = static_cast<double>(picture.widthPx) * picture.sampleAspectWidth /
                         (static_cast<double>(picture.heightPx) * picture.sampleAspectHeight);
    // A quarter turn shows the picture on its side.
    return std::abs(picture.rotationDegrees) % 180 == 90 ? 1 / shape : shape;
}

FrameShape TargetFrame(const ProfileValues& values, int target, int profileIndex,
                       const PictureFacts& source) {
    if (KeepsInputFrameSize(values.widthPx, values.heightPx) || values.widthPx <= 0 ||
        values.heightPx <= 0) {
        return {};
    }
    FrameShape frame{values.widthPx, values.heightPx, values.widthPx, values.heightPx};
    if (target == kTargetDvd) {
        // Wide enough when nearer 16:9 than 4:3.
        const bool wide = DisplayShape(source) > std::sqrt(4.0 / 3.0 * 16.0 / 9.0);
        const bool sixteenByNine = wide && AllowsWide(values, profileIndex);
        frame.aspectWidth = sixteenByNine ? 16 : 4;
        frame.aspectHeight = sixteenByNine ? 9 : 3;
    }
    const int divisor = std::gcd(frame.aspectWidth, frame.aspectHeight);
    frame.aspectWidth /= divisor;
    frame.aspectHeight /= divisor;
    return frame;
}

bool NeedsFieldDetection(const MediaInfo& source) {
    // Every output is progressive, so any picture may need it.
    return HasPicture(source) && source.picture.fieldOrder == FieldOrder::kUnknown;
}

SourceFit FitSource(const ProfileValues& values, int target, int profileIndex,
                    const MediaInfo& source) {
    SourceFit fit;
    if (!HasPicture(source)) return fit;

    std::string filters;
    if (IsInterlaced(source.picture.fieldOrder)) filters = Deinterlacer(source.picture.fieldOrder);
    const FrameShape frame = TargetFrame(values, target, profileIndex, source.picture);
    const double shape = DisplayShape(source.picture);
    const double frameShape =
        frame.widthPx > 0 ? static_cast<double>(frame.aspectWidth) / frame.aspectHeight : 0;
    const bool fits = frame.widthPx == 0 || std::abs(shape / frameShape - 1) <= kSameShapeTolerance;
    if (!fits) {
        if (!filters.empty()) filters += ",";
        filters += FitFilters(frame, shape);
    }
    if (!filters.empty()) fit.outputOptions += " -vf " + filters;
    // MPEG-2 says its display aspect in its own words; a player reads 4:3
    // or 16:9 from there, not from the pixel shape.
    if (!fits && target == kTargetDvd && !IsVideoCdProfile(profileIndex)) {
        fit.outputOptions += " -aspect " + std::to_string(frame.aspectWidth) + ":" +
                             std::to_string(frame.aspectHeight);
    }

    if (NeedsSound(target) && values.hasAudio && source.audioStreamCount == 0) {
        fit.inputOptions = " -f lavfi -i anullsrc=r=" + std::to_string(values.sampleRateHz) +
                           ":cl=" + (values.channels == 1 ? "mono" : "stereo");
        // The silence has no end of its own.
        fit.outputOptions += " -shortest";
    }
    return fit;
}
