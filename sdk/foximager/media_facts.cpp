#include "sdk/foximager/media_facts.h"

#include <charconv>
#include <cmath>

namespace foximager {
namespace {

double ParseNumber(std::string_view text) {
    double value = 0;
    const auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && std::isfinite(value) ? value : 0;
}

// "30000/1001" or "16:15"; 0 when either part is 0 or missing.
double ParseRatio(std::string_view text, char separator) {
    const std::size_t at = text.find(separator);
    if (at == std::string_view::npos) return 0;
    const double over = ParseNumber(text.substr(0, at));
    const double under = ParseNumber(text.substr(at + 1));
    return over > 0 && under > 0 ? over / under : 0;
}

int ParseCount(std::string_view text) {
    const double value = ParseNumber(text);
    return value > 0 && value < 1e9 ? static_cast<int>(value) : 0;
}

}  // namespace

const StreamFacts* MediaFacts::First(std::string_view type) const {
    for (const StreamFacts& stream : streams) {
        if (stream.type == type) return &stream;
    }
    return nullptr;
}

int MediaFacts::Count(std::string_view type) const {
    int count = 0;
    for (const StreamFacts& stream : streams) count += stream.type == type ? 1 : 0;
    return count;
}

std::vector<std::string> ProbeArguments(const std::string& file) {
    return {"ffprobe",
            "-v",
            "error",
            "-show_entries",
            "format=format_name,duration,bit_rate:stream=codec_type,codec_name,width,height,"
            "r_frame_rate,sample_aspect_ratio,sample_rate",
            file};
}

MediaFacts ParseMediaFacts(std::string_view text) {
    MediaFacts facts;
    enum class Block { kNone, kStream, kFormat } block = Block::kNone;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line == "[STREAM]") {
            block = Block::kStream;
            facts.streams.emplace_back();
            continue;
        }
        if (line == "[FORMAT]") {
            block = Block::kFormat;
            continue;
        }
        if (line.starts_with("[/STREAM]") || line.starts_with("[/FORMAT]")) {
            block = Block::kNone;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || block == Block::kNone) continue;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (block == Block::kFormat) {
            if (key == "format_name") facts.formatName = value;
            if (key == "duration") facts.durationSeconds = ParseNumber(value);
            if (key == "bit_rate") {
                const double bitRate = ParseNumber(value);
                facts.bitRate = bitRate > 0 && bitRate < 1e15 ? static_cast<long long>(bitRate) : 0;
            }
            continue;
        }
        StreamFacts& stream = facts.streams.back();
        if (key == "codec_type") stream.type = value;
        if (key == "codec_name") stream.codec = value;
        if (key == "width") stream.width = ParseCount(value);
        if (key == "height") stream.height = ParseCount(value);
        if (key == "r_frame_rate") stream.frameRate = ParseRatio(value, '/');
        if (key == "sample_aspect_ratio") stream.pixelAspect = ParseRatio(value, ':');
        if (key == "sample_rate") stream.sampleRateHz = ParseCount(value);
    }
    return facts;
}

}  // namespace foximager
