// The encoder's one entry: the job driver calls it with a selector to start
// the encoder up, shut it down, learn the formats it takes, test a job and
// run an encode.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "korvan/mpegenc/driver/avi_sink.h"
#include "korvan/mpegenc/driver/compile_request.h"
#include "korvan/mpegenc/driver/encode_job.h"
#include "korvan/mpegenc/driver/encode_run.h"
#include "korvan/mpegenc/driver/encoder_state.h"
#include "korvan/mpegenc/settings/encoder_messages.h"

namespace korvan {

enum EncoderSelector : int {
    kSelectStartUp = 0,
    kSelectShutDown = 1,
    kSelectDescribeVideoFormat = 2,
    kSelectDescribeAudioFormat = 3,
    kSelectTestJob = 4,
    // 5, 6 and 7 alike switch every stream on, for a picture of 352 x 240.
    kSelectAllStreamsFirst = 5,
    kSelectAllStreamsLast = 7,
    kSelectRunEncode = 8,
};

// Results besides 0 (done).
inline constexpr int kNoSuchFormat = 1;
inline constexpr int kJobAccepted = 5;
inline constexpr int kJobRefused = 6;
inline constexpr int kUnknownSelector = -1;

inline constexpr uint32_t kEncoderCode = 0x626D7067;
inline constexpr char kEncoderName[] = "DOVAREZ Encoder";
inline constexpr char kDefaultOutputExtension[] = ".mpg";

// What the caller provides.
struct EncoderServices {
    MessageSink messages;
    AviSink* aviWriter = nullptr;  // for the AVI forms of an encode
};

struct EncoderIdentity {
    uint32_t code = 0;
    std::string name;
    std::string defaultExtension;
};

struct VideoFormatDescription {
    uint32_t fourcc = 0;
    std::string name;
    int maxWidth = 0;   // pels
    int maxHeight = 0;  // pels
};

struct AudioRateFormat {
    int sampleRateHz = 0;
    int bitsPerSample = 0;
};

struct AudioFormatDescription {
    std::string name;
    std::vector<AudioRateFormat> rates;
};

// The record passed in and out: each selector reads or fills its part.
struct EncoderExchange {
    EncoderIdentity identity;            // filled by start-up
    VideoFormatDescription videoFormat;  // filled by DescribeVideoFormat
    AudioFormatDescription audioFormat;  // filled by DescribeAudioFormat
    EncodeJob job;                       // read by TestJob and RunEncode
    CompileRequest* request = nullptr;   // read and filled by RunEncode
};

// Start-up and shutdown return 0. Describing format number `index` returns 0
// for index 0 and kNoSuchFormat for any other (only one format of each kind
// exists). Testing the job returns kJobAccepted when its picture is
// 1..1920 × 1..1152 with even sizes and its audio 32, 44.1 or 48 kHz at 16
// bits, kJobRefused otherwise. Selectors 5 to 7 return 0. Running an
// encode returns what RunEncode returns (encode_run.h).
int EncoderEntry(EncoderState& state, int selector, const EncoderServices& services,
                 EncoderExchange& exchange, int index);

// What RunEncodeJob returns for selector 8's kEncodeRan and kNoSourceDuration.
inline constexpr int kJobEncodeRan = 31;
inline constexpr int kJobNoSourceDuration = 30;

// Runs one encode through selector 8: kJobEncodeRan when it ran (how it went
// is in request.status), kJobNoSourceDuration when the source's duration is
// 0, selector 8's value otherwise.
int RunEncodeJob(EncoderState& state, const EncoderServices& services, const EncodeJob& job,
                 CompileRequest& request);

}  // namespace korvan
