#include "korvan/mpegenc/settings/motion_geometry.h"

#include <algorithm>

namespace korvan {
namespace {

// Windows far beyond any f-code's reach are all refused alike, so a hand-set
// movement is bounded before it is multiplied.
int WindowOf(int distance, int movementPels) {
    constexpr long long kFarBeyondAnyFCode = 1 << 16;
    return static_cast<int>(std::clamp(static_cast<long long>(distance) * movementPels,
                                       -kFarBeyondAnyFCode, kFarBeyondAnyFCode));
}

}  // namespace

int HorizontalFCodeForWindow(int windowPels, const EncoderSettings& settings) {
    if (windowPels < 8) return 1;
    if (windowPels < 16) return 2;
    if (windowPels < 32) return 3;
    if (windowPels < 64 || settings.constrainedParameters) return 4;
    if (windowPels < 128) return 5;
    if (windowPels < 256) return 6;
    if (windowPels >= 512 && settings.IsMpeg2() && settings.level != kLevelLow) {
        if (windowPels < 1024 || settings.level == kLevelMain) return 8;
        if (windowPels < 2048) return 9;
        return 1;
    }
    return 7;
}

int VerticalFCodeForWindow(int windowPels, const EncoderSettings& settings) {
    if (windowPels < 8) return 1;
    if (windowPels < 16) return 2;
    if (windowPels < 32) return 3;
    if (windowPels < 64 || settings.level == kLevelLow || settings.constrainedParameters) return 4;
    return 5;
}

void DeriveMotionGeometry(EncoderSettings& settings) {
    const int m = settings.ipFrameDistance < 1                ? 1
                  : settings.ipFrameDistance > kMotionRecords ? kMotionRecords
                                                              : settings.ipFrameDistance;
    const int h = settings.horzPelMovement;
    const int v = settings.vertPelMovement;
    settings.motion.fill(MotionRecord{});

    auto forward = [&](MotionRecord& record, int distance) {
        record.forwHorzSearch = WindowOf(distance, h);
        record.forwVertSearch = WindowOf(distance, v);
        record.forwHorzFCode = HorizontalFCodeForWindow(record.forwHorzSearch, settings);
        record.forwVertFCode = VerticalFCodeForWindow(record.forwVertSearch, settings);
    };
    forward(settings.motion[0], m);
    for (int d = 1; d < m; ++d) {
        MotionRecord& record = settings.motion[d];
        forward(record, d);
        record.backHorzSearch = WindowOf(m - d, h);
        record.backVertSearch = WindowOf(m - d, v);
        record.backHorzFCode = HorizontalFCodeForWindow(record.backHorzSearch, settings);
        record.backVertFCode = VerticalFCodeForWindow(record.backVertSearch, settings);
    }
}

}  // namespace korvan
