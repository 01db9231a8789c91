#include "korvan/mpegenc/settings/video_stream_extension.h"

namespace korvan {

std::string WithVideoStreamExtension(const std::string& name, const EncoderSettings& settings) {
    const std::size_t dot = name.rfind('.');
    const std::size_t slash = name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name;
    if (name.size() - dot != 4) return name;
    const char m = name[dot + 1];
    const char v = name[dot + 3];
    if ((m != 'm' && m != 'M') || (v != 'v' && v != 'V')) return name;

    const char from = settings.IsMpeg2() ? '1' : '2';
    const char to = settings.IsMpeg2() ? '2' : '1';
    if (name[dot + 2] != from) return name;
    std::string changed = name;
    changed[dot + 2] = to;
    return changed;
}

}  // namespace korvan
