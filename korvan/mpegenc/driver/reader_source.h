// A source the media layer's readers opened, served to an encode through
// the request's two callbacks: its pictures, and its sound as 44 100 Hz
// stereo PCM from a sample position on. The readers hand sound over in
// chunks of up to 2.5 s, more than one callback may return, so a chunk
// leaves in pieces the encode takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "korvan/media/source_reader.h"
#include "korvan/mpegenc/driver/compile_request.h"
#include "korvan/mpegenc/driver/encode_job.h"

namespace korvan {

class ReaderSource {
public:
    explicit ReaderSource(media::SourceReader& reader) : reader_(reader) {}

    // The job of the whole source: its picture size and frames, and its
    // sound as the readers deliver it, into `outputPath`.
    EncodeJob JobFor(const std::string& outputPath) const;
    // The source's rate and duration, and the two callbacks; `request` must
    // not outlive this object.
    void Serve(CompileRequest& request);

private:
    int FetchPicture(int64_t number, FetchedPicture& picture);
    int FetchAudio(int64_t position, FetchedAudio& audio);

    media::SourceReader& reader_;
    const uint8_t* chunk_ = nullptr;  // the reader's last chunk of sound
    size_t chunkBytes_ = 0;
    int64_t chunkStart_ = 0;  // the sample position of its first sample
};

}  // namespace korvan
