#include "korvan/mpegenc/driver/encode_source.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "korvan/media/avi_stream_check.h"
#include "korvan/media/file_list.h"
#include "korvan/mpegenc/common/format_text.h"
#include "platform/file_bytes.h"
#include "platform/file_names.h"

namespace korvan {
namespace {

constexpr char kScriptName[] = "file list.ffconcat";

void ShowOpenError(const MessageSink& messages, const char* kind, std::string text) {
    ShowMessage(messages, std::string(kApplicationTitle) + " - " + kind, std::move(text),
                MessageIcon::kError);
}

// A FOURCC's byte as the message prints it; bytes that are no letter would
// garble the text.
char Printable(uint32_t fourcc, int byte) {
    const auto c = static_cast<unsigned char>(fourcc >> (8 * byte));
    return c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace

SourceKind SourceKindOf(const std::string& path) {
    const std::string name = platform::FileName(path);
    if (platform::EndsWithIgnoringCase(name, ".avi")) return SourceKind::kAvi;
    if (platform::EndsWithIgnoringCase(name, media::kFileListExtension)) {
        return SourceKind::kFileList;
    }
    return SourceKind::kMediaFile;
}

EncodeSource::EncodeSource() = default;
EncodeSource::~EncodeSource() = default;

bool EncodeSource::Open(media::SourceReader& reader, const std::string& path,
                        const MessageSink& messages) {
    Close(reader);
    switch (SourceKindOf(path)) {
        case SourceKind::kAvi:
            return OpenAvi(reader, path, messages);
        case SourceKind::kFileList:
            return OpenFileList(reader, path, messages);
        case SourceKind::kMediaFile:
            break;
    }
    return media::OpenSourceReader(reader, path, messages);
}

void EncodeSource::Close(media::SourceReader& reader) {
    media::CloseSourceReader(reader);
    scriptFolder_.reset();
}

bool EncodeSource::OpenAvi(media::SourceReader& reader, const std::string& path,
                           const MessageSink& messages) {
    const media::AviStreams streams = media::CheckAviStreams(path);
    const char* name = path.c_str();
    switch (streams.check) {
        case media::AviStreamCheck::kReadable:
            return media::OpenSourceReader(reader, path, messages);
        case media::AviStreamCheck::kCannotOpen:
            ShowOpenError(messages, kOpenAviErrorKind, FillMessage(kAviOpenFailedMessage, path));
            return false;
        case media::AviStreamCheck::kNoVideoInfo:
            ShowOpenError(messages, kOpenAviErrorKind, FillMessage(kAviNoStreamInfoMessage, path));
            return false;
        case media::AviStreamCheck::kNoFrameDecoder: {
            const uint32_t handler = streams.videoHandler;
            ShowOpenError(
                messages, kOpenAviErrorKind,
                FormatText(kAviNoFrameDecoderMessage, name, Printable(handler, 0),
                           Printable(handler, 1), Printable(handler, 2), Printable(handler, 3)));
            return false;
        }
        case media::AviStreamCheck::kNoStreams:
            ShowOpenError(messages, kOpenAviErrorKind, FillMessage(kAviNoStreamsMessage, path));
            return false;
    }
    return false;
}

bool EncodeSource::OpenFileList(media::SourceReader& reader, const std::string& path,
                                const MessageSink& messages) {
    const std::optional<std::vector<uint8_t>> bytes =
        platform::ReadFileBytes(path, media::kLargestFileListBytes);
    if (!bytes) {
        ShowOpenError(messages, kOpenFileListErrorKind,
                      FillMessage(kFileListOpenFailedMessage, path));
        return false;
    }
    const std::vector<std::string> names = media::ParseFileList(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
        FolderOf(path));
    if (names.empty()) {
        ShowOpenError(messages, kOpenFileListErrorKind, FillMessage(kFileListEmptyMessage, path));
        return false;
    }
    // Each file is opened on its own first: one that cannot be read says so
    // as any input would, and its length places the next one.
    std::vector<media::ListedFile> files;
    for (const std::string& name : names) {
        if (!media::OpenSourceReader(reader, name, messages)) return false;
        files.push_back({name, static_cast<double>(reader.duration) / media::kUnitsPerSecond});
        media::CloseSourceReader(reader);
    }
    scriptFolder_ = std::make_unique<platform::ScratchFolder>();
    const std::string script = scriptFolder_->Path() + kScriptName;
    const std::string text = media::ConcatScript(files);
    if (scriptFolder_->Path().empty() ||
        !platform::WriteFileBytes(script, std::vector<uint8_t>(text.begin(), text.end()))) {
        scriptFolder_.reset();
        ShowOpenError(messages, kOpenFileListErrorKind,
                      FillMessage(kFileListOpenFailedMessage, path));
        return false;
    }
    if (media::OpenSourceReader(reader, script, messages)) return true;
    scriptFolder_.reset();
    return false;
}

}  // namespace korvan
