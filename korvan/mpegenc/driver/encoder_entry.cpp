#include "korvan/mpegenc/driver/encoder_entry.h"

#include <new>

#include "korvan/mpegenc/driver/encoder_startup.h"
#include "korvan/mpegenc/settings/encode_input_check.h"

namespace korvan {
namespace {

constexpr uint32_t kRawFourcc = 0x52415720;  // "RAW "

int DescribeVideoFormat(EncoderExchange& exchange, int index) {
    if (index != 0) return kNoSuchFormat;
    exchange.videoFormat = VideoFormatDescription{kRawFourcc, "Pelmo Video", kLargestPictureWidth,
                                                  kLargestPictureHeight};
    return 0;
}

int DescribeAudioFormat(EncoderExchange& exchange, int index) {
    if (index != 0) return kNoSuchFormat;
    try {
        AudioFormatDescription description{"Pelmo Audio", {}};
        for (int rate : kAcceptedSampleRates) {
            description.rates.push_back({rate, kAcceptedBitsPerSample});
        }
        exchange.audioFormat = std::move(description);
    } catch (const std::bad_alloc&) {
        return kNoSuchFormat;
    }
    return 0;
}

int TestJob(const EncodeJob& job) {
    if (job.hasVideo && !IsAcceptedPictureSize(job.width, job.height)) return kJobRefused;
    if (job.hasAudio &&
        (!IsAcceptedSampleRate(job.sampleRateHz) || job.bitsPerSample != kAcceptedBitsPerSample)) {
        return kJobRefused;
    }
    return kJobAccepted;
}

}  // namespace

int EncoderEntry(EncoderState& state, int selector, const EncoderServices& services,
                 EncoderExchange& exchange, int index) {
    switch (selector) {
        case kSelectStartUp:
            StartUpEncoder(state, services.messages);
            exchange.identity =
                EncoderIdentity{kEncoderCode, kEncoderName, kDefaultOutputExtension};
            return 0;
        case kSelectShutDown:
            ShutDownEncoder(state);
            return 0;
        case kSelectDescribeVideoFormat:
            return DescribeVideoFormat(exchange, index);
        case kSelectDescribeAudioFormat:
            return DescribeAudioFormat(exchange, index);
        case kSelectTestJob:
            return TestJob(exchange.job);
        default:
            return kUnknownSelector;
    }
}

}  // namespace korvan
