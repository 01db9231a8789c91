#include "korvan/entry/media_dispatch.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace korvan {
namespace {

constexpr std::array<MediaDispatch, 7> kDispatchTable = {{
    {kTargetMpeg1, OutputForm::kAvi, std::nullopt, std::nullopt},
    {kTargetMpeg1, OutputForm::kMpeg, std::nullopt, std::nullopt},
    {kTargetMpeg2, OutputForm::kMpeg, std::nullopt, std::nullopt},
    {kTargetDvd, OutputForm::kMpeg, PictureSize{720, 480}, PictureSize{720, 576}},
    {kTargetVideoCd, OutputForm::kMpeg, PictureSize{352, 240}, PictureSize{352, 288}},
    {kTargetSuperVcd, OutputForm::kMpeg, PictureSize{480, 480}, PictureSize{480, 576}},
    {kTargetMpeg1, OutputForm::kAviForMp3, std::nullopt, std::nullopt},
}};

}  // namespace

std::optional<MediaDispatch> DispatchMediaType(int mediaType) {
    if (mediaType < 0 || mediaType >= static_cast<int>(kDispatchTable.size())) return {};
    return kDispatchTable[static_cast<std::size_t>(mediaType)];
}

std::optional<MediaDispatch> DispatchTarget(TargetKind targetKind, OutputForm form) {
    std::optional<MediaDispatch> found;
    for (const MediaDispatch& dispatch : kDispatchTable) {
        if (dispatch.targetKind != targetKind) continue;
        if (dispatch.form == form) return dispatch;
        if (!found) found = dispatch;
    }
    if (found) found->form = form;
    return found;
}

bool IsPalRate(double framesPerSecond, bool palDefault) {
    const auto near = [framesPerSecond](double rate) {
        return std::fabs(framesPerSecond - rate) < 0.5;
    };
    if (near(25) || near(50)) return true;
    if (near(23.976) || near(29.97) || near(59.94)) return false;
    return palDefault;
}

PictureSize OutputPictureSize(const MediaDispatch& dispatch, bool pal, PictureSize source) {
    if (const auto fixed = dispatch.SizeFor(pal)) return *fixed;
    if (dispatch.form == OutputForm::kAvi) {
        // A source narrower than 4 pixels is scaled up to 4, not down to
        // nothing.
        source.width = std::max(4, source.width - source.width % 4);
        source.height = std::max(4, source.height - source.height % 4);
    }
    return source;
}

}  // namespace korvan
