// The engine's player: it opens a "file:" URL, and when begun plays the
// presentation into its client, which it finds through the client context:
// a site from the context's site supplier for the pictures, the registered
// audio device for the sound, the advise sinks for position reports.
//
// The sound sets the pace: blocks of PCM are written to the audio device,
// and the device's time-sync reports move the presentation's clock, at
// which the pictures due by then are rendered. A presentation without sound
// (or without a device) plays on a clock of its own, a picture at a time.
// The engine's clock is not the wall clock: its scheduler runs callbacks in
// the order of their due times as soon as the thread's message loop gets to
// them, so a presentation plays as fast as its client takes it.
//
// Every call into the client is made on the thread that created the player,
// from its message loop.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/message_loop.h"
#include "sdk/realengine/engine_objects.h"
#include "sdk/realengine/presentation_decoder.h"
#include "sdk/realengine/site_renderer.h"

namespace realengine {

class EngineObject;

// The length of sound in one block the player writes: with the client's
// pause after every block, long blocks keep the conversion fast.
inline constexpr std::uint32_t kBlockMs = 4000;

class EnginePlayer final : public Player,
                           public Scheduler,
                           public SiteManager,
                           public ClassFactory,
                           public ErrorSinkControl,
                           public StatisticsRegistry,
                           public AudioDeviceResponse,
                           public EngineRefCounted<EnginePlayer> {
public:
    explicit EnginePlayer(EngineObject* engine);

    // Stops and lets go of everything the client gave it; the engine closes
    // it so.
    void Close();

    Result QueryInterface(const InterfaceId& id, void** object) override;
    std::uint32_t AddRef() override { return AddRefCount(); }
    std::uint32_t Release() override { return ReleaseCount(); }

    // Player
    Result GetEngine(Unknown** engine) override;
    std::int32_t IsDone() override { return ended_ ? 1 : 0; }
    std::int32_t IsLive() override { return 0; }
    std::uint32_t GetCurrentPlayTime() override { return clockMs_; }
    Result OpenURL(const char* url) override;
    Result Begin() override;
    Result Stop() override;
    Result Pause() override;
    Result Seek(std::uint32_t timeMs) override;
    std::uint16_t GetSourceCount() override { return opened_ ? 1 : 0; }
    Result GetSource(std::uint16_t index, Unknown** source) override;
    Result SetClientContext(Unknown* context) override;
    Result GetClientContext(Unknown** context) override;
    Result AddAdviseSink(ClientAdviseSink* sink) override;
    Result RemoveAdviseSink(ClientAdviseSink* sink) override;

    // Scheduler
    CallbackHandle RelativeEnter(Callback* callback, std::uint32_t delayMs) override;
    CallbackHandle AbsoluteEnter(Callback* callback, std::uint32_t timeMs) override;
    Result Remove(CallbackHandle handle) override;

    // SiteManager
    Result AddSite(Site* site) override;
    Result RemoveSite(Site* site) override;

    // ClassFactory: value sets (class 00001302).
    Result CreateInstance(const InterfaceId& classId, void** object) override;

    // ErrorSinkControl
    Result AddErrorSink(ErrorSink* sink, std::uint8_t lowSeverity,
                        std::uint8_t highSeverity) override;
    Result RemoveErrorSink(ErrorSink* sink) override;

    // StatisticsRegistry: "PicturesRendered", "BlocksWritten".
    Result GetNumber(const char* name, std::int64_t* value) override;

    // AudioDeviceResponse
    Result OnTimeSync(std::uint32_t timeMs) override;

private:
    class Pump : public platform::MessageTarget {
    public:
        explicit Pump(EnginePlayer& player) : player_(player) {}

    protected:
        void OnMessage(unsigned message, std::uintptr_t, std::intptr_t) override;
        void OnTimer(unsigned) override {}

    private:
        EnginePlayer& player_;
    };
    enum PumpMessage : unsigned { kStepMessage = platform::kUserMessage + 1, kSchedulerMessage };

    struct Scheduled {
        std::uint64_t dueMs;
        Ref<Callback> callback;
    };

    Result FirstBegin();
    void Step();
    void RunNextScheduled();
    // Writes blocks of sound until two are waiting in the device; false once
    // all sound has been written.
    void FeedAudio();
    bool WriteBlock();
    void PlayOnOwnClock();
    void RenderPicturesBefore(std::uint64_t timeMs);
    void Finish();
    void ReportPosition(std::uint32_t positionMs);
    void Report(Result (ClientAdviseSink::*callback)());
    void ReleaseSites();

    EngineObject* engine_;
    Pump pump_{*this};
    PresentationDecoder decoder_;
    Ref<Unknown> context_;
    std::vector<Ref<ClientAdviseSink>> adviseSinks_;
    std::vector<Ref<ErrorSink>> errorSinks_;
    std::vector<Ref<Site>> sites_;
    Ref<SiteRenderer> renderer_;
    Ref<AudioDevice> audioDevice_;
    Ref<Values> siteRequest_;

    std::map<CallbackHandle, Scheduled> scheduled_;
    CallbackHandle nextHandle_ = 1;
    std::uint64_t schedulerNowMs_ = 0;

    bool opened_ = false;
    bool begun_ = false;
    bool playing_ = false;
    bool ended_ = false;
    bool audioOpen_ = false;
    bool soundEnded_ = false;
    std::uint32_t clockMs_ = 0;
    std::uint32_t blockBytes_ = 0;
    std::uint64_t samplesWritten_ = 0;
    std::int64_t blocksWritten_ = 0;
    std::int64_t blocksSynced_ = 0;
    std::int64_t picturesRendered_ = 0;
    std::uint32_t lastReportedMs_ = 0;
    std::uint32_t videoEndMs_ = 0;
};

}  // namespace realengine
