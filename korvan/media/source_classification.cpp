#include "korvan/media/source_classification.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "contracts/program_settings.h"
#include "korvan/media/stream_decoder.h"
#include "platform/file_names.h"
#include "platform/private_profile.h"

namespace korvan::media {

namespace {

constexpr unsigned char kRealMediaSignature[4] = {0x2E, 0x52, 0x4D, 0x46};  // ".RMF"

// The extension with its dot, from the last "." of the last component.
std::string Extension(const std::string& path) {
    const std::string name = platform::FileName(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

bool SameIgnoringCase(const std::string& a, const char* b) {
    return a.size() == std::strlen(b) && platform::EndsWithIgnoringCase(a, b);
}

bool DecodesOneFrame(const std::string& path, StreamKind kind) {
    StreamDecoder decoder;
    if (decoder.Open(path, kind) != StreamOpenResult::kOpened) return false;
    libav::FrameHandle frame(av_frame_alloc());
    return frame && decoder.NextFrame(*frame) == 1;
}

}  // namespace

bool IsRealMediaPath(const std::string& path, RealMediaFlags& flags) {
    flags = RealMediaFlags{};
    const std::string extension = Extension(path);
    if (SameIgnoringCase(extension, ".rm") || SameIgnoringCase(extension, ".ram") ||
        SameIgnoringCase(extension, ".rmvb")) {
        flags.realMedia = true;
    }
    if (SameIgnoringCase(extension, ".ram")) flags.metafile = true;

    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return false;
    unsigned char head[8] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file.get());
    if (std::ferror(file.get())) return false;
    if (got >= 4 && std::memcmp(head, kRealMediaSignature, 4) == 0) flags.realMedia = true;
    return true;
}

bool IsRealMediaFile(const std::string& path) {
    RealMediaFlags flags;
    IsRealMediaPath(path, flags);
    return flags.realMedia || flags.metafile;
}

MediaLayerSettings ReadMediaLayerSettings(const std::string& hostFolder) {
    MediaLayerSettings settings;
    settings.readsRealMedia =
        platform::GetPrivateProfileInt(kLibrarySection, kRealMediaReaderKey, 1,
                                       hostFolder + program_settings::kFileName) != 0;
    return settings;
}

int ClassifySource(const std::string& path, const MediaLayerSettings& settings,
                   RealMediaFlags& flags) {
    flags = RealMediaFlags{};
    struct stat facts {};
    if (::stat(path.c_str(), &facts) != 0 || S_ISDIR(facts.st_mode)) return kSourceMissing;
    if (facts.st_size < kShortestSourceBytes) return kSourceTooShort;
    if (!IsRealMediaPath(path, flags)) return kSourceUnopenable;

    const bool refused = flags.realMedia && !settings.readsRealMedia;
    if (!refused && DecodesVideoAndAudio(path)) return kSourceReadable;
    return flags.realMedia ? kSourceRealMedia : kSourceUnreadable;
}

bool DecodesVideoAndAudio(const std::string& path) {
    // A probe that throws is a file that cannot be opened.
    try {
        return DecodesOneFrame(path, StreamKind::kVideo) &&
               DecodesOneFrame(path, StreamKind::kAudio);
    } catch (...) {
        return false;
    }
}

}  // namespace korvan::media
