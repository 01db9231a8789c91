#include "tests/korvan/driver/driver_media.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "tests/korvan/mux/mux_media.h"
#include "tests/korvan/video/ffmpeg_client.h"
#include "tests/support/temp_dir.h"

namespace test {
namespace {

constexpr int kBytesPerPel = 4;
constexpr int kSourceError = 9;

std::string Seconds(double seconds) { return std::to_string(seconds); }

// The start codes of an elementary stream: offsets of every 00 00 01 xx.
std::vector<std::pair<size_t, uint8_t>> StartCodes(const std::string& bytes) {
    std::vector<std::pair<size_t, uint8_t>> codes;
    for (size_t i = 0; i + 3 < bytes.size(); ++i) {
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1) {
            codes.emplace_back(i, static_cast<uint8_t>(bytes[i + 3]));
            i += 3;
        }
    }
    return codes;
}

constexpr uint8_t kPictureCode = 0x00;
constexpr uint8_t kSequenceHeaderCode = 0xB3;
constexpr uint8_t kSequenceEndCode = 0xB7;
constexpr uint8_t kGopCode = 0xB8;

}  // namespace

ClipSource::~ClipSource() {
    if (pipe_) pclose(pipe_);
}

bool ClipSource::Open(const ClipRecipe& recipe, const std::string& scratchFolder) {
    recipe_ = recipe;
    picture_.assign(static_cast<size_t>(recipe.width) * recipe.height * kBytesPerPel, 0);
    if (recipe.sound.empty()) return true;
    const std::string pcmPath = scratchFolder + "clip sound.pcm";
    const ToolRun run = RunInstalled(
        "ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                   recipe.sound + ":sample_rate=" + std::to_string(recipe.sampleRateHz), "-t",
                   Seconds(recipe.seconds), "-ac", std::to_string(recipe.channels), "-f", "s16le",
                   "-c:a", "pcm_s16le", pcmPath});
    if (run.exitCode != 0) return false;
    const std::string bytes = ReadFile(pcmPath);
    pcm_.assign(bytes.begin(), bytes.end());
    return !pcm_.empty();
}

bool ClipSource::StartPictures() {
    // ffmpeg's bgr0 rows are B, G, R, 0 from the top; vflip puts the bottom
    // row first, as the media layer delivers them.
    // A little more than the clip's length, so that its last picture is
    // there; ffmpeg's complaint about the pipe closed early is no news. The
    // source is asked for RGB at once: left to choose, testsrc2 makes 4:2:0
    // and rounds an odd size down to an even one.
    const std::string command = "ffmpeg -nostdin -v error -f lavfi -i " +
                                ShellQuote(recipe_.pictures + ",format=bgr0") + " -t " +
                                Seconds(recipe_.seconds + 0.1) +
                                " -vf vflip -pix_fmt bgr0 -f rawvideo - 2>/dev/null";
    pipe_ = popen(command.c_str(), "r");
    return pipe_ != nullptr;
}

int ClipSource::GetPicture(int64_t number, korvan::FetchedPicture& picture) {
    if (beforePicture) beforePicture(number);
    if (number == failPictureAt) return kSourceError;
    if (!pipe_ && !StartPictures()) return kSourceError;
    if (number < nextInPipe_ - 1) return kSourceError;
    while (nextInPipe_ <= number) {
        if (std::fread(picture_.data(), 1, picture_.size(), pipe_) != picture_.size()) {
            return kSourceError;
        }
        ++nextInPipe_;
    }
    ++picturesServed_;
    picture.pixels = picture_.data();
    picture.width = recipe_.width;
    picture.height = recipe_.height;
    picture.strideBytes = recipe_.width * kBytesPerPel;
    return 0;
}

int ClipSource::GetAudioOfPicture(int64_t number, double pictureRate, korvan::FetchedAudio& audio) {
    const int64_t call = audioCalls_++;
    if (call == failAudioCall) return kSourceError;
    const size_t frameBytes = 2 * static_cast<size_t>(recipe_.channels);
    const auto sampleAt = [&](int64_t n) {
        return static_cast<size_t>(std::llround(n * recipe_.sampleRateHz / pictureRate));
    };
    const size_t from = std::min(sampleAt(number) * frameBytes, pcm_.size());
    const size_t to = std::min(sampleAt(number + 1) * frameBytes, pcm_.size());
    audio.bytes = pcm_.data() + from;
    audio.byteCount = to - from;
    if (oversizedAudioCall >= 0 && call >= oversizedAudioCall) {
        oversized_.assign(oversizedBytes, 0);
        audio.bytes = oversized_.data();
        audio.byteCount = oversized_.size();
    }
    return 0;
}

int ClipSource::GetAudioFromSample(int64_t position, size_t blockBytes,
                                   korvan::FetchedAudio& audio) {
    const int64_t call = audioCalls_++;
    if (call == failAudioCall) return kSourceError;
    const size_t frameBytes = 2 * static_cast<size_t>(recipe_.channels);
    const size_t from = std::min(static_cast<size_t>(position) * frameBytes, pcm_.size());
    audio.bytes = pcm_.data() + from;
    audio.byteCount = std::min(blockBytes, pcm_.size() - from);
    if (oversizedAudioCall >= 0 && call >= oversizedAudioCall) {
        oversized_.assign(oversizedBytes, 0);
        audio.bytes = oversized_.data();
        audio.byteCount = oversized_.size();
    }
    return 0;
}

void ClipSource::ServeByPicture(korvan::CompileRequest& request) {
    const double rate = request.pictureRate;
    request.getPicture = [this](int64_t n, korvan::FetchedPicture& p) { return GetPicture(n, p); };
    request.audioPositions = korvan::AudioPositions::kByPicture;
    request.getAudio = [this, rate](int64_t n, korvan::FetchedAudio& a) {
        return GetAudioOfPicture(n, rate, a);
    };
}

void ClipSource::ServeBySample(korvan::CompileRequest& request, size_t blockBytes) {
    request.getPicture = [this](int64_t n, korvan::FetchedPicture& p) { return GetPicture(n, p); };
    request.audioPositions = korvan::AudioPositions::kBySample;
    request.getAudio = [this, blockBytes](int64_t position, korvan::FetchedAudio& a) {
        return GetAudioFromSample(position, blockBytes, a);
    };
}

std::vector<uint32_t> SequenceHeaderBitRates(const std::string& path) {
    const std::string bytes = ReadFile(path);
    std::vector<uint32_t> rates;
    for (const auto& [offset, code] : StartCodes(bytes)) {
        if (code != kSequenceHeaderCode || offset + 11 > bytes.size()) continue;
        // After the start code: 12 + 12 bits of size, 4 + 4 of aspect and
        // rate, then the 18 bits of bit_rate_value.
        const auto byte = [&](size_t i) {
            return static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + i]));
        };
        rates.push_back(byte(8) << 10 | byte(9) << 2 | byte(10) >> 6);
    }
    return rates;
}

std::vector<uint64_t> PictureSizesWithHeaders(const std::string& path) {
    const std::string bytes = ReadFile(path);
    std::vector<uint64_t> sizes;
    size_t unitStart = 0;
    bool inPicture = false;
    bool headersPending = false;
    for (const auto& [offset, code] : StartCodes(bytes)) {
        const bool header = code == kSequenceHeaderCode || code == kGopCode;
        if (code == kPictureCode || (header && !headersPending) || code == kSequenceEndCode) {
            // A new unit begins here, ending the picture before it.
            if (inPicture) sizes.push_back(offset - unitStart);
            inPicture = false;
        }
        if (header && !headersPending) {
            unitStart = offset;
            headersPending = true;
        } else if (code == kPictureCode) {
            if (!headersPending) unitStart = offset;
            headersPending = false;
            inPicture = true;
        }
    }
    if (inPicture) sizes.push_back(bytes.size() - unitStart);
    return sizes;
}

uint64_t MaxBitsPerSecond(const std::vector<uint64_t>& pictureBytes, int picturesPerSecond) {
    uint64_t best = 0;
    uint64_t window = 0;
    for (size_t i = 0; i < pictureBytes.size(); ++i) {
        window += pictureBytes[i] * 8;
        if (i >= static_cast<size_t>(picturesPerSecond))
            window -= pictureBytes[i - picturesPerSecond] * 8;
        best = std::max(best, window);
    }
    return best;
}

StreamStarts ProbeStreamStarts(const std::string& path) {
    const ToolRun run = RunInstalled(
        "ffprobe",
        {"-v", "error", "-show_entries", "stream=codec_type,start_time", "-of", "csv=p=0", path});
    StreamStarts starts;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t comma = line.find(',');
        if (comma == std::string::npos) continue;
        const std::string type = line.substr(0, comma);
        const double start = std::atof(line.c_str() + comma + 1);
        if (type == "video" && starts.video < 0) starts.video = start;
        if (type == "audio" && starts.audio < 0) starts.audio = start;
    }
    return starts;
}

std::vector<double> DecodedLumaMeans(const std::string& path, const std::string& scratch) {
    std::vector<double> means;
    const ToolRun run = RunInstalled(
        "ffmpeg", {"-v", "error", "-y", "-i", path, "-map", "0:v:0", "-vsync", "passthrough", "-vf",
                   "scale=64:48", "-pix_fmt", "gray", "-f", "rawvideo", scratch});
    if (run.exitCode != 0) return means;
    const std::string bytes = ReadFile(scratch);
    constexpr size_t kPicture = 64 * 48;
    for (size_t at = 0; at + kPicture <= bytes.size(); at += kPicture) {
        double sum = 0;
        for (size_t i = 0; i < kPicture; ++i) sum += static_cast<uint8_t>(bytes[at + i]);
        means.push_back(sum / kPicture);
    }
    return means;
}

std::vector<int16_t> DecodedSound(const std::string& path, int sampleRateHz,
                                  const std::string& scratch) {
    std::vector<int16_t> samples;
    const ToolRun run = RunInstalled(
        "ffmpeg", {"-v", "error", "-y", "-i", path, "-map", "0:a:0", "-ac", "1", "-ar",
                   std::to_string(sampleRateHz), "-f", "s16le", "-c:a", "pcm_s16le", scratch});
    if (run.exitCode != 0) return samples;
    const std::string bytes = ReadFile(scratch);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                               static_cast<uint8_t>(bytes[i + 1]) << 8));
    }
    return samples;
}

}  // namespace test
