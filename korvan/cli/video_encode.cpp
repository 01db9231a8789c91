#include "korvan/cli/video_encode.h"

#include <cstdio>
#include <memory>

#include "korvan/media/y4m_reader.h"
#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/driver/video_stream_writer.h"
#include "korvan/mpegenc/video/video_encoder.h"

namespace korvan {
namespace {

class Y4mPictureSource : public PictureSource {
public:
    explicit Y4mPictureSource(Y4mReader& reader) : reader_(reader) {}
    int FetchPicture(int, YuvFrame& frame) override {
        return reader_.ReadPicture(frame) == 1 ? 0 : 1;
    }

private:
    Y4mReader& reader_;
};

class Y4mReconstructionSink : public ReconstructionSink {
public:
    explicit Y4mReconstructionSink(Y4mWriter& writer) : writer_(writer) {}
    void TakePicture(int, const YuvFrame& frame) override { ok_ &= writer_.WritePicture(frame); }
    bool Ok() const { return ok_; }

private:
    Y4mWriter& writer_;
    bool ok_ = true;
};

}  // namespace

Status EncodeVideoFile(const EncoderSettings& settings, const VideoModeFiles& files,
                            CpuFlags kernelFlags, VideoStatistics* statistics, int threads) {
    Y4mReader reader;
    if (Status opened = reader.Open(files.input); !opened.IsOk()) return opened;
    const Y4mHeader& header = reader.Header();
    if (header.chromaFormat != settings.chromaFormat) {
        return Status::Failed(
            StatusCode::kInvalidSettings,
            files.input + ": its chroma layout differs from the settings' chromaFormat.");
    }
    const int pictures = reader.CountPictures();
    if (pictures <= 0) {
        return Status::Failed(StatusCode::kSourceFailed, files.input + " holds no picture.");
    }

    Y4mPictureSource source(reader);
    Y4mWriter reconWriter;
    Y4mReconstructionSink sink(reconWriter);
    if (!files.reconstruction.empty() && !reconWriter.Open(files.reconstruction, header)) {
        return Status::Failed(
            StatusCode::kSourceFailed,
            FormatText("Unable to open file %s for writing.", files.reconstruction.c_str()));
    }

    VideoEncoder encoder;
    if (threads > 0) encoder.SetThreadCount(threads);
    Status r = encoder.Open(settings, header.width, header.height, pictures, kernelFlags,
                                 source, files.reconstruction.empty() ? nullptr : &sink);
    if (!r.IsOk()) return r;
    r = WriteVideoStream(encoder, files.elementary);
    if (!r.IsOk()) return r;
    if (!files.reconstruction.empty() && (!sink.Ok() || !reconWriter.Close())) {
        return Status::Failed(StatusCode::kSourceFailed, "Unable to write to output file.");
    }
    if (statistics) *statistics = encoder.Statistics();
    return {};
}

}  // namespace korvan
