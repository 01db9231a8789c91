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

// Every stream encoded and multiplexed, for a picture of 352 x 240.
void SwitchStreamsOn(EncoderSettings& settings) {
    settings.userEncodeVideo = 1;
    settings.userEncodeAudio = 1;
    settings.multiplexVideo = 1;
    settings.multiplexAudio = 1;
    settings.horizontalSize = 352;
    settings.verticalSize = 240;
}

}  // namespace

int EncoderEntry(EncoderState& state, int selector, const EncoderServices& services,
                 EncoderExchange& exchange, int index) {
    if (selector >= kSelectAllStreamsFirst && selector <= kSelectAllStreamsLast) {
        SwitchStreamsOn(state.settings);
        return 0;
    }
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
        case kSelectRunEncode:
            return RunEncode(state, services.messages, exchange.job, exchange.request,
                             services.aviWriter);
        default:
            return kUnknownSelector;
    }
}

int RunEncodeJob(EncoderState& state, const EncoderServices& services, const EncodeJob& job,
                 CompileRequest& request) {
    EncoderExchange exchange;
    exchange.job = job;
    exchange.request = &request;
    const int result = EncoderEntry(state, kSelectRunEncode, services, exchange, 0);
    if (result == kEncodeRan) return kJobEncodeRan;
    if (result == kNoSourceDuration) return kJobNoSourceDuration;
    return result;
}

}  // namespace korvan
