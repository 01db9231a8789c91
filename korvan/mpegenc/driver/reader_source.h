// A source the media layer's readers opened, served to an encode through
// the request's two callbacks: its pictures, and its sound from a sample
// position on, as the encoder takes it (44 100 Hz stereo PCM) or in the
// source's own PCM format (the AVI forms). The readers hand sound over in
// chunks of up to 2.5 s, more than one callback may return, so a chunk
// leaves in pieces the encode takes. The command-line tool and the job
// driver both serve their sources through this. A reader serves one thread
// at a time, so for the sound to be pulled alongside the pictures the
// source is opened a second time, for the sound alone.
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
    // `soundReader` is the caller's second reader of the same source, for
    // the sound when it is pulled on a thread of its own. The caller keeps
    // it, closed when `reader` is (re)opened, for as long as `reader` reads
    // the source: a reader's place in the sound carries on from one encode
    // to the next (a split output goes on with the same readers), and the
    // second one then holds the same place the first would.
    ReaderSource(media::SourceReader& reader, media::SourceReader& soundReader)
        : reader_(reader), soundReader_(&soundReader) {}
    ~ReaderSource();
    ReaderSource(const ReaderSource&) = delete;
    ReaderSource& operator=(const ReaderSource&) = delete;

    // The job of the whole source: the picture size the reader was asked
    // for, its frames, and its sound as the readers deliver it, into
    // `outputPath`.
    EncodeJob JobFor(const std::string& outputPath) const;
    // The whole source's rate and duration, and the two callbacks with the
    // encoder's sound; `request` must not outlive this object.
    void Serve(CompileRequest& request);
    // The two callbacks only: the request's picture n is the reader's output
    // frame n - `firstPicture`, and its sound comes in `form`, its positions
    // counted in samples of that form from the reader's first frame on. The
    // sound ends (a block of no bytes) where the reader has no more. With a
    // second reader, the request may have the sound read by it.
    void ServeCallbacks(CompileRequest& request, media::AudioFetchForm form, int64_t firstPicture);

private:
    // Has the second reader read the sound from now on, opened on the
    // source when it is not, with the first reader's window; false when it
    // cannot read it the same.
    bool SeparateSound();
    media::SourceReader& SoundReader() { return separated_ ? *soundReader_ : reader_; }
    int FetchPicture(int64_t number, FetchedPicture& picture);
    int FetchAudio(int64_t position, FetchedAudio& audio);
    // Bytes of one sample of every channel, in the form served.
    int64_t SampleFrameBytes();

    media::SourceReader& reader_;
    media::SourceReader* soundReader_ = nullptr;
    bool separated_ = false;  // the sound comes from soundReader_
    media::AudioFetchForm form_ = media::AudioFetchForm::kEncoderPcm;
    int64_t firstPicture_ = 0;
    const uint8_t* chunk_ = nullptr;    // the reader's last chunk of sound
    size_t chunkBytes_ = 0;             // its whole sample frames
    int64_t chunkStart_ = 0;            // the sample position of its first sample
    long long nextReaderPosition_ = 0;  // of the next chunk, in samples at 44 100 Hz
};

}  // namespace korvan
