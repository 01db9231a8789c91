// One encode once its input is known: the video step, the audio step, the
// multiplex, and the clean-up of the elementary streams. Which of them run is
// said by the record's switches "userEncodeVideo", "userEncodeAudio",
// "multiplexVideo" and "multiplexAudio"; which elementary streams stay by
// "saveTempVideo" and "saveTempAudio". The coding steps come from the caller,
// who alone knows where the pictures and the sound come from: the encode
// driver pulls them through the host's callbacks, the command-line tool reads
// files.
#pragma once

#include <string>
#include <vector>

#include "korvan/base/status.h"
#include "korvan/mpegenc/mux/mux_host.h"
#include "korvan/mpegenc/settings/encoder_messages.h"
#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

inline constexpr char kVideoNameMissingMessage[] =
    "A video stream filename must be specified, running settings ...";
inline constexpr char kProgramNameMissingMessage[] =
    "A program stream filename must be specified, running settings ...";
inline constexpr char kAudioNameMissingMessage[] =
    "An audio stream filename must be specified, running settings ...";
inline constexpr char kInvalidSettingsMessage[] = "Invalid settings, running settings ...";
inline constexpr char kSameStreamNamesMessage[] =
    "The program stream %s would overwrite an elementary stream of the same name.";
inline constexpr char kNoUnitFolderMessage[] =
    "Could not create a temporary folder for the multiplexer.";

// The files of one encode.
struct EncodeStreamNames {
    std::string video;        // the video elementary stream
    std::string audio;        // the audio elementary stream
    std::string secondAudio;  // a ready second audio stream to multiplex, or empty
    std::string program;      // the program stream (the multiplexer lowers its file name's case)
};

// The elementary streams named after the program stream: its extension
// replaced by ".m2v" for an MPEG-2 "videoType", else ".m1v", and by ".mp2"
// (a name without extension gets them appended).
EncodeStreamNames StreamNamesFor(const std::string& programPath, const EncoderSettings& settings);

class EncodeSteps {
public:
    virtual ~EncodeSteps() = default;
    // Before step 1, when step 2 follows it: the steps may begin step 2's
    // work here, to run alongside step 1. Step 2 is still called after step
    // 1, or not at all when step 1 fails or the host cancels before it; the
    // steps then drop that work themselves.
    virtual void BeginAudioAlongside(const EncoderSettings& /*settings*/,
                                     const std::string& /*streamPath*/) {}
    // Step 1: writes the video elementary stream at `streamPath`.
    virtual Status EncodeVideo(const EncoderSettings& settings, const std::string& streamPath) = 0;
    // Step 2: writes the audio elementary stream at `streamPath`.
    virtual Status EncodeAudio(const EncoderSettings& settings, const std::string& streamPath) = 0;
};

// A step's failure message is shown to the user when it is not empty.
// The run ends kOk, kRefused (the tests before the first step failed;
// nothing was written), kFailed (a step failed, its message shown) or
// kCancelled (no program stream was begun after that).
struct EncodeOutcome {
    Status status;
    std::vector<std::string> programFiles;  // as the multiplexer wrote them
};

// Tests the names and the settings, runs the steps that are switched on and
// multiplexes. The multiplexer's unit files go into a folder of this run's
// own. After a multiplex that succeeded, the elementary streams this run
// coded are deleted unless the settings keep them; streams it only
// multiplexed are never deleted; a program stream that was not finished is.
// Every failure is shown through `messages`.
// The host's cancel flag is read between the steps (the steps and the
// multiplexer read it themselves while they run).
EncodeOutcome RunEncodeSequence(const EncoderSettings& settings, const EncodeStreamNames& names,
                                EncodeSteps& steps, mux::MuxHost& host,
                                const MessageSink& messages);

}  // namespace korvan
