#include "korvan/entry/media_dispatch.h"

#include <array>

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

PictureSize OutputPictureSize(const MediaDispatch& dispatch, bool pal, PictureSize source) {
    if (const auto fixed = dispatch.SizeFor(pal)) return *fixed;
    if (dispatch.form == OutputForm::kAvi) {
        source.width -= source.width % 4;
        source.height -= source.height % 4;
    }
    return source;
}

}  // namespace korvan
