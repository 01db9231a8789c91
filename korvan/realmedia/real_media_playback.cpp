#include "korvan/realmedia/real_media_playback.h"

#include <dlfcn.h>
#include <sys/resource.h>

#include <cerrno>

#include "korvan/media/frame_rate_probe.h"
#include "korvan/realmedia/audio_capture_device.h"
#include "korvan/realmedia/client_context.h"

namespace korvan::realmedia {

using namespace realengine;

namespace {

constexpr char kUrlScheme[] = "file:";
constexpr char kTraceDevice[] = "/dev/null";
// The engine's error reports of every severity.
constexpr uint8_t kLowestSeverity = 0;
constexpr uint8_t kHighestSeverity = 6;
// The scheduling nice value of a playback: the high priority class.
constexpr int kHighPriorityNice = -10;

}  // namespace

RealMediaPlayback::RealMediaPlayback(PlaybackSetup setup)
    : setup_(std::move(setup)),
      writer_([this] {
          media::AviWriterHooks hooks = setup_.writerHooks;
          hooks.playerControl = [this](int state) { PlayerControl(state); };
          return hooks;
      }()),
      sink_(std::make_shared<CaptureSink>()) {}

RealMediaPlayback::~RealMediaPlayback() { End(); }

void RealMediaPlayback::Start(const std::string& inputPath, const std::string& aviPath) {
    if (inputPath.empty() || aviPath.empty()) return;
    const std::string url = kUrlScheme + inputPath;
    aviPath_ = aviPath;
    trace_ = std::fopen(kTraceDevice, "w");
    sink_->writer = &writer_;
    sink_->progress = setup_.progress;
    sink_->trace = trace_;
    context_ = Ref<ClientContext>::Adopt(new ClientContext(sink_));

    LoadEngine();
    if (!library_) {
        ShowMessage(setup_.messages, kEngineMissingMessage);
        End();
        return;
    }
    if (!createEngine_ || !closeEngine_) {
        End();
        return;
    }
    writer_.OpenAvi(aviPath);
    aviOpen_ = true;
    if (writer_.Failed()) {
        End();
        return;
    }
    // The pictures are coded at the rate the input's headers state (when
    // they can be read), so that the coded stream agrees with the rate the
    // close writes into the header; a guess of 25 otherwise.
    writer_.SetExpectedFrameRate(media::FrameRateProbe(inputPath, true));
    if (createEngine_(&engine_) != kOk || !engine_) {
        engine_ = nullptr;
        End();
        return;
    }
    if (engine_->CreatePlayer(player_.Put()) != kOk || !player_) {
        player_.Reset();
        End();
        return;
    }

    audioDevice_ = Ref<AudioCaptureDevice>::Adopt(new AudioCaptureDevice(player_.Get(), sink_));
    if (auto manager = Query<AudioDeviceManager>(engine_, kAudioDeviceManagerId)) {
        // Without the device the AVI gets no sound, and the conversion goes on.
        if (manager->Replace(audioDevice_.Get()) != kOk) audioDevice_.Reset();
    } else {
        audioDevice_.Reset();
    }

    context_->Init(player_.Get());
    player_->SetClientContext(context_.Get());
    errorSinkControl_ = Query<ErrorSinkControl>(player_.Get(), kErrorSinkControlId);
    if (errorSinkControl_) {
        errorSink_ = Query<ErrorSink>(context_.Get(), kErrorSinkId);
        if (errorSink_) {
            errorSinkControl_->AddErrorSink(errorSink_.Get(), kLowestSeverity, kHighestSeverity);
        }
    }

    if (player_->OpenURL(url.c_str()) != kOk) {
        End();
        return;
    }
    PlayerControl(kPlayerPlaying);

    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    if (errno == 0) {
        savedNice_ = nice;
        prioritySaved_ = true;
        // Only a privileged process may raise it; otherwise it plays as it is.
        setpriority(PRIO_PROCESS, 0, kHighPriorityNice);
    }
}

void RealMediaPlayback::End() {
    if (prioritySaved_) {
        setpriority(PRIO_PROCESS, 0, savedNice_);
        prioritySaved_ = false;
    }
    PlayerControl(kPlayerStopped);
    if (errorSinkControl_) {
        errorSinkControl_->RemoveErrorSink(errorSink_.Get());
        errorSinkControl_.Reset();
    }
    errorSink_.Reset();
    if (context_) context_->Close();
    context_.Reset();
    if (player_) {
        if (engine_) engine_->ClosePlayer(player_.Get());
        player_.Reset();
    }
    if (audioDevice_) {
        if (auto manager = Query<AudioDeviceManager>(engine_, kAudioDeviceManagerId)) {
            manager->Remove(audioDevice_.Get());
        }
        audioDevice_.Reset();
    }
    if (engine_) {
        closeEngine_(engine_);
        engine_ = nullptr;
    }
    if (aviOpen_) writer_.CloseAvi();
    // The objects the engine may still hold write nothing more.
    sink_->writer = nullptr;
    sink_->progress = nullptr;
    sink_->trace = nullptr;
    if (trace_) {
        std::fclose(trace_);
        trace_ = nullptr;
    }
    UnloadEngine();
    framesWritten_ = writer_.FrameCount();
}

Result RealMediaPlayback::PlayerControl(int state) {
    if (!player_) return kFail;
    Result result = kOk;
    switch (state) {
        case kPlayerStopped:
            result = player_->Stop();
            break;
        case kPlayerPlaying:
            result = player_->Begin();
            break;
        case kPlayerPaused:
            result = player_->Pause();
            break;
        default:
            break;
    }
    if (result == kOk) playerState_ = state;
    return result;
}

bool RealMediaPlayback::IsDone() const { return player_ && player_->IsDone() != 0; }

uint32_t RealMediaPlayback::CurrentPlayTimeMs() const {
    return player_ ? player_->GetCurrentPlayTime() : 0;
}

void RealMediaPlayback::LoadEngine() {
    const std::string path = setup_.hostFolder + kEngineLibraryName;
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) return;
    createEngine_ = reinterpret_cast<CreateEngineFunction>(dlsym(library_, kCreateEngineName));
    closeEngine_ = reinterpret_cast<CloseEngineFunction>(dlsym(library_, kCloseEngineName));
}

void RealMediaPlayback::UnloadEngine() {
    if (library_) dlclose(library_);
    library_ = nullptr;
    createEngine_ = nullptr;
    closeEngine_ = nullptr;
}

}  // namespace korvan::realmedia
