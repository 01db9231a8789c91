// The sources an encode reads, one for each input of a job, chosen by the
// input's name: an AVI file (".avi"), checked as one before its pictures
// are read; a file list (".lst", media/file_list.h), whose files are read
// one after another as one source; any other file as the media layer's
// readers decode it. All three are then read by those readers.
#pragma once

#include <memory>
#include <string>

#include "korvan/media/source_reader.h"
#include "korvan/mpegenc/settings/encoder_messages.h"
#include "platform/temp_folder.h"

namespace korvan {

enum class SourceKind { kMediaFile, kAvi, kFileList };

SourceKind SourceKindOf(const std::string& path);

inline constexpr char kOpenAviErrorKind[] = "open AVI error";
inline constexpr char kOpenFileListErrorKind[] = "open file list error";

inline constexpr char kAviOpenFailedMessage[] =
    "Could not open %s. \n\nMost probable reasons are\n1. Your video file is in DivX or XVid "
    "format.\n2. You haven't installed the latest version of Microsoft Media Player.\n\nThe "
    "codecs come with Debian's libavcodec packages (libavcodec-extra has the most), and ffplay "
    "from the ffmpeg package plays the file.";
inline constexpr char kAviNoStreamInfoMessage[] = "Could not get video stream info from %s.";
inline constexpr char kAviNoFrameDecoderMessage[] =
    "Could not open getframe from %s, compressor = %c%c%c%c.";
inline constexpr char kAviNoStreamsMessage[] = "%s does not contain any supported streams";
inline constexpr char kFileListOpenFailedMessage[] = "Could not open file list %s.";
inline constexpr char kFileListEmptyMessage[] = "The file list %s names no file.";

class EncodeSource {
public:
    EncodeSource();
    ~EncodeSource();
    EncodeSource(const EncodeSource&) = delete;
    EncodeSource& operator=(const EncodeSource&) = delete;

    // Opens `path` into `reader` (closing what was open); false, with the
    // reason shown through `messages`, when it cannot be read. A file
    // list's own files are read from a script that stays until Close.
    bool Open(media::SourceReader& reader, const std::string& path, const MessageSink& messages);
    // Closes `reader` and removes the script. Any other reader of the same
    // source must be closed first.
    void Close(media::SourceReader& reader);

private:
    bool OpenAvi(media::SourceReader& reader, const std::string& path, const MessageSink& messages);
    bool OpenFileList(media::SourceReader& reader, const std::string& path,
                      const MessageSink& messages);

    std::unique_ptr<platform::ScratchFolder> scriptFolder_;
};

}  // namespace korvan
