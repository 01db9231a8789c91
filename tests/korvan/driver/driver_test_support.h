// What the encode driver's test programs share: an encoder started in a
// per-user folder of its own, an export folder, and a host that records
// what the driver tells it and polls a real job file for a cancel, as the
// job driver does.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "korvan/mpegenc/driver/encoder_entry.h"
#include "platform/private_profile.h"
#include "tests/korvan/driver/driver_media.h"
#include "tests/korvan/settings/settings_test_support.h"
#include "tests/support/own_config_home.h"
#include "tests/support/temp_dir.h"

namespace test {

inline bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// Seconds of 44.1 kHz sound an MPEG audio stream of `frames` frames holds.
// After the sound the encoder codes silence until its filter banks' delay
// of 481 samples is out too, so a stream runs up to that and a frame more
// past the sound it was given.
inline double AudioFrameSeconds(double frames) { return frames * 1152 / 44100; }
inline constexpr double kAudioTailSeconds = (481.0 + 1152.0) / 44100;

inline constexpr unsigned kNotifyMessage = 0x400 + 100;
inline constexpr uintptr_t kNotifyWParam = 120;

struct Post {
    unsigned message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

class RecordingHost : public korvan::EncodeHost {
public:
    explicit RecordingHost(korvan::CompileRequest& request) : request_(request) {}

    void PostToHost(unsigned message, uintptr_t wParam, intptr_t lParam) override {
        posts.push_back({message, wParam, lParam});
    }
    // What the job file holds when the host looks, and its cancel key.
    void PollCancel() override {
        const std::string& job = request_.jobFilePath;
        tips.push_back(platform::GetPrivateProfileString("common", "strtip", "", 1024, job));
        percents.push_back(platform::GetPrivateProfileInt("common", "ipercent", -99, job));
        if (platform::GetPrivateProfileInt("common", "canceltbr", 0, job) != 0) {
            request_.cancel = true;
        }
    }

    // The tips the host saw, each once, in order.
    std::vector<std::string> DistinctTips() const {
        std::vector<std::string> distinct;
        for (const std::string& tip : tips) {
            if (distinct.empty() || distinct.back() != tip) distinct.push_back(tip);
        }
        return distinct;
    }

    std::vector<Post> posts;
    std::vector<std::string> tips;
    std::vector<int> percents;

private:
    korvan::CompileRequest& request_;
};

// An encoder after start-up, with an export folder and a job file.
class DriverFixture : public ::testing::Test {
protected:
    void SetUp() override {
        korvan::EncoderExchange exchange;
        ASSERT_EQ(korvan::EncoderEntry(state_, korvan::kSelectStartUp, services_, exchange, 0), 0);
        jobFile_ = folder_ / "Tobrin.ini";
        WriteFile(jobFile_, "[common]\ncanceltbr=0\nstrtip=\nipercent=0\n");
    }
    // The job of a clip: its picture size, 16-bit sound at its rate, the
    // output named `output`.
    static korvan::EncodeJob JobOf(const ClipRecipe& clip, const std::string& output) {
        korvan::EncodeJob job;
        job.hasVideo = true;
        job.width = clip.width;
        job.height = clip.height;
        job.firstPicture = 0;
        job.lastPicture = static_cast<int64_t>(clip.seconds * 25) - 1;
        job.hasAudio = !clip.sound.empty();
        job.sampleRateHz = clip.sampleRateHz;
        job.stereo = clip.channels == 2;
        job.bitsPerSample = 16;
        job.outputPath = output;
        return job;
    }

    // A request for the target kind that reports to the job file and `host`.
    void Prepare(korvan::CompileRequest& request, int kind, bool pal, double pictureRate,
                 double seconds, korvan::EncodeHost* host) {
        request.targetKind = kind;
        request.tvSystem = pal ? korvan::TvSystem::kPal : korvan::TvSystem::kNtsc;
        request.exportFolder = folder_.Folder();
        request.pictureRate = pictureRate;
        request.durationMs = static_cast<int64_t>(seconds * 1000 + 0.5);
        request.host = host;
        request.notifyMessage = kNotifyMessage;
        request.notifyWParam = kNotifyWParam;
        request.jobFilePath = jobFile_;
    }

    int Encode(const korvan::EncodeJob& job, korvan::CompileRequest& request) {
        return korvan::RunEncodeJob(state_, services_, job, request);
    }

    OwnConfigHome config_;
    test::TempDir folder_{"encode driver ünï"};
    std::string jobFile_;
    korvan::EncoderState state_;
    RecordedMessages messages_;
    korvan::EncoderServices services_{messages_.Sink()};
};

}  // namespace test
