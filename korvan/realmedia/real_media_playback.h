// One playback of a RealMedia file by the outside engine (libpnen3260.so,
// loaded at run time from the host's folder), captured into an intermediate
// AVI: the engine renders its pictures into the client's sites and its sound
// into the client's audio device, which append them to the AVI.
//
// Everything runs on the thread that drives the job, inside its message
// loop: the engine's calls into the client objects come on that thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "korvan/media/avi_writer.h"
#include "korvan/mpegenc/settings/encoder_messages.h"
#include "korvan/realmedia/capture_sink.h"
#include "korvan/realmedia/playback_progress.h"
#include "sdk/realengine/engine_interfaces.h"
#include "sdk/realengine/interface_ref.h"

namespace korvan::realmedia {

class AudioCaptureDevice;
class ClientContext;

inline constexpr char kEngineLibraryName[] = "libpnen3260.so";
inline constexpr char kEngineMissingMessage[] = "Failed to load the pnen3260.dll library.\n";

// Player states of PlayerControl.
enum PlayerState : int { kPlayerStopped = 0, kPlayerPlaying = 1, kPlayerPaused = 2 };

struct PlaybackSetup {
    std::string hostFolder;  // ends in "/"
    media::AviWriterHooks writerHooks;
    MessageSink messages;
    std::function<void(const PlaybackProgress&)> progress;
};

class RealMediaPlayback {
public:
    explicit RealMediaPlayback(PlaybackSetup setup);
    ~RealMediaPlayback();
    RealMediaPlayback(const RealMediaPlayback&) = delete;
    RealMediaPlayback& operator=(const RealMediaPlayback&) = delete;

    // Opens the AVI and starts the engine playing the input into it. Any
    // failure ends the playback again; HasPlayer then says false.
    void Start(const std::string& inputPath, const std::string& aviPath);
    // Stops the engine, lets go of every object and closes the AVI. Safe to
    // run again.
    void End();

    // 0 stops, 1 begins, 2 pauses; 0x80004005 without a player.
    realengine::Result PlayerControl(int state);

    bool HasPlayer() const { return static_cast<bool>(player_); }
    bool IsDone() const;
    uint32_t CurrentPlayTimeMs() const;
    bool WriterFailed() const { return writer_.Failed(); }
    // Whether Start got as far as creating the AVI file.
    bool AviCreated() const { return aviOpen_; }
    // Frames in the AVI when the playback ended.
    long long FramesWritten() const { return framesWritten_; }
    int State() const { return playerState_; }

private:
    void LoadEngine();
    void UnloadEngine();

    PlaybackSetup setup_;
    media::AviWriter writer_;
    SharedCaptureSink sink_;
    std::string aviPath_;

    void* library_ = nullptr;
    realengine::CreateEngineFunction createEngine_ = nullptr;
    realengine::CloseEngineFunction closeEngine_ = nullptr;
    realengine::Engine* engine_ = nullptr;  // given back through CloseEngine
    realengine::Ref<realengine::Player> player_;
    realengine::Ref<ClientContext> context_;
    realengine::Ref<AudioCaptureDevice> audioDevice_;
    realengine::Ref<realengine::ErrorSinkControl> errorSinkControl_;
    realengine::Ref<realengine::ErrorSink> errorSink_;
    std::FILE* trace_ = nullptr;
    bool aviOpen_ = false;
    bool prioritySaved_ = false;
    int savedNice_ = 0;
    int playerState_ = kPlayerStopped;
    long long framesWritten_ = 0;
};

}  // namespace korvan::realmedia
