#include "korvan/media/rgb_scaler.h"

#include <cstring>

namespace korvan::media {

bool RgbScaler::TopDown(const AVFrame& frame, AVPixelFormat format, std::size_t rowBytes,
                        std::vector<uint8_t>& rows) {
    scaler_.reset(sws_getCachedContext(
        scaler_.release(), frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
        frame.width, frame.height, format, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler_ || frame.height <= 0) return false;
    rows.resize(rowBytes * static_cast<std::size_t>(frame.height) + kScalerOverrunBytes);
    uint8_t* destination[4] = {rows.data(), nullptr, nullptr, nullptr};
    const int destinationStride[4] = {static_cast<int>(rowBytes), 0, 0, 0};
    return sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, destination,
                     destinationStride) == frame.height;
}

bool RgbScaler::BottomUp(const AVFrame& frame, AVPixelFormat format, std::size_t rowBytes,
                         std::vector<uint8_t>& rows) {
    if (!TopDown(frame, format, rowBytes, topDown_)) return false;
    const std::size_t height = static_cast<std::size_t>(frame.height);
    rows.resize(rowBytes * height);
    for (std::size_t y = 0; y < height; ++y) {
        std::memcpy(rows.data() + rowBytes * (height - 1 - y), topDown_.data() + rowBytes * y,
                    rowBytes);
    }
    return true;
}

}  // namespace korvan::media
