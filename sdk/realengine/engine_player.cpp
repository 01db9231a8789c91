#include "sdk/realengine/engine_player.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "sdk/realengine/engine_object.h"
#include "sdk/realengine/pcm_buffer.h"
#include "sdk/realengine/value_set.h"

namespace realengine {

namespace {

constexpr char kFileScheme[] = "file:";
constexpr std::uint32_t kSiteRequestId = 1;
// Blocks of sound waiting in the device ahead of the last time-sync.
constexpr std::int64_t kBlocksAhead = 2;
// Position reports on a clock of its own, in ms of the presentation.
constexpr std::uint32_t kReportEveryMs = 500;

}  // namespace

EnginePlayer::EnginePlayer(EngineObject* engine) : engine_(engine) {}

void EnginePlayer::Close() {
    Stop();
    scheduled_.clear();
    adviseSinks_.clear();
    errorSinks_.clear();
    siteRequest_.Reset();
    context_.Reset();
    engine_ = nullptr;
}

Result EnginePlayer::QueryInterface(const InterfaceId& id, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (Offer<Player>(this, id, kUnknownId, object) || Offer<Player>(this, id, kPlayerId, object) ||
        Offer<Scheduler>(this, id, kSchedulerId, object) ||
        Offer<SiteManager>(this, id, kSiteManagerId, object) ||
        Offer<ClassFactory>(this, id, kClassFactoryId, object) ||
        Offer<ErrorSinkControl>(this, id, kErrorSinkControlId, object) ||
        Offer<StatisticsRegistry>(this, id, kStatisticsRegistryId, object) ||
        Offer<AudioDeviceResponse>(this, id, kAudioDeviceResponseId, object)) {
        return kOk;
    }
    return kNoInterface;
}

Result EnginePlayer::GetEngine(Unknown** engine) {
    if (!engine) return kInvalidArgument;
    if (!engine_) return kUnexpected;
    return engine_->QueryInterface(kUnknownId, reinterpret_cast<void**>(engine));
}

Result EnginePlayer::OpenURL(const char* url) {
    if (!url) return kInvalidArgument;
    if (opened_) return kUnexpected;
    if (std::strncmp(url, kFileScheme, sizeof kFileScheme - 1) != 0) return kUnsupportedUrl;
    switch (decoder_.Open(url + sizeof kFileScheme - 1)) {
        case PresentationDecoder::OpenResult::kMissing:
            return kFileNotFound;
        case PresentationDecoder::OpenResult::kUndecodable:
            return kUndecodablePresentation;
        case PresentationDecoder::OpenResult::kOpened:
            break;
    }
    opened_ = true;
    Report(&ClientAdviseSink::OnPresentationOpened);
    ReportPosition(0);
    return kOk;
}

Result EnginePlayer::Begin() {
    if (!opened_) return kUnexpected;
    if (playing_) return kOk;
    if (!begun_) {
        const Result result = FirstBegin();
        if (!Succeeded(result)) return result;
    } else if (audioOpen_) {
        audioDevice_->Resume();
    }
    playing_ = true;
    for (auto& sink : adviseSinks_) sink->OnBegin(clockMs_);
    pump_.Post(kStepMessage, 0, 0);
    return kOk;
}

Result EnginePlayer::FirstBegin() {
    begun_ = true;
    // The site for the pictures: the client adds it to this player's site
    // manager, where the renderer is attached to it.
    if (decoder_.HasVideo()) {
        auto supplier = Query<SiteSupplier>(context_.Get(), kSiteSupplierId);
        if (supplier) {
            siteRequest_ = Ref<Values>::Adopt(new ValueSet);
            siteRequest_->SetTextProperty("name", "video");
            supplier->SitesNeeded(kSiteRequestId, siteRequest_.Get());
        }
    }
    if (decoder_.HasAudio() && engine_) {
        audioDevice_ = engine_->RegisteredAudioDevice();
        if (audioDevice_) {
            AudioFormat format;
            format.channels = static_cast<std::uint16_t>(decoder_.Channels());
            format.bitsPerSample = 16;
            format.samplesPerSec = static_cast<std::uint32_t>(decoder_.SampleRate());
            const std::uint32_t frameBytes = format.channels * 2u;
            blockBytes_ = static_cast<std::uint32_t>(
                static_cast<std::uint64_t>(format.samplesPerSec) * kBlockMs / 1000 * frameBytes);
            format.maxBlockSize = blockBytes_;
            audioOpen_ = audioDevice_->Open(&format, this) == kOk;
            if (!audioOpen_) audioDevice_.Reset();
        }
    }
    return kOk;
}

Result EnginePlayer::Stop() {
    const bool wasActive = begun_;
    playing_ = false;
    if (audioDevice_) {
        if (audioOpen_) audioDevice_->Close(1);
        audioOpen_ = false;
        audioDevice_.Reset();
    }
    ReleaseSites();
    if (wasActive) Report(&ClientAdviseSink::OnStop);
    begun_ = false;
    return kOk;
}

Result EnginePlayer::Pause() {
    if (!playing_) return kOk;
    playing_ = false;
    if (audioOpen_) audioDevice_->Pause();
    for (auto& sink : adviseSinks_) sink->OnPause(clockMs_);
    return kOk;
}

Result EnginePlayer::Seek(std::uint32_t) { return kNotImplemented; }

Result EnginePlayer::GetSource(std::uint16_t, Unknown**) { return kNotImplemented; }

Result EnginePlayer::SetClientContext(Unknown* context) {
    context_ = Ref<Unknown>::Share(context);
    return kOk;
}

Result EnginePlayer::GetClientContext(Unknown** context) {
    if (!context) return kInvalidArgument;
    if (!context_) return kUnexpected;
    *context = Ref<Unknown>(context_).Detach();
    return kOk;
}

Result EnginePlayer::AddAdviseSink(ClientAdviseSink* sink) {
    if (!sink) return kInvalidArgument;
    adviseSinks_.push_back(Ref<ClientAdviseSink>::Share(sink));
    return kOk;
}

Result EnginePlayer::RemoveAdviseSink(ClientAdviseSink* sink) {
    const auto found = std::find_if(adviseSinks_.begin(), adviseSinks_.end(),
                                    [sink](const auto& s) { return s.Get() == sink; });
    if (found == adviseSinks_.end()) return kUnexpected;
    adviseSinks_.erase(found);
    return kOk;
}

CallbackHandle EnginePlayer::RelativeEnter(Callback* callback, std::uint32_t delayMs) {
    return AbsoluteEnter(
        callback, static_cast<std::uint32_t>(std::min<std::uint64_t>(
                      schedulerNowMs_ + delayMs, std::numeric_limits<std::uint32_t>::max())));
}

CallbackHandle EnginePlayer::AbsoluteEnter(Callback* callback, std::uint32_t timeMs) {
    if (!callback || !engine_) return 0;
    const CallbackHandle handle = nextHandle_++;
    if (nextHandle_ == 0) nextHandle_ = 1;
    scheduled_[handle] = {std::max<std::uint64_t>(timeMs, schedulerNowMs_),
                          Ref<Callback>::Share(callback)};
    pump_.Post(kSchedulerMessage, 0, 0);
    return handle;
}

Result EnginePlayer::Remove(CallbackHandle handle) {
    return scheduled_.erase(handle) ? kOk : kUnexpected;
}

void EnginePlayer::RunNextScheduled() {
    if (scheduled_.empty()) return;
    auto next =
        std::min_element(scheduled_.begin(), scheduled_.end(), [](const auto& a, const auto& b) {
            return a.second.dueMs < b.second.dueMs ||
                   (a.second.dueMs == b.second.dueMs && a.first < b.first);
        });
    schedulerNowMs_ = std::max(schedulerNowMs_, next->second.dueMs);
    Ref<Callback> callback = std::move(next->second.callback);
    scheduled_.erase(next);
    // The player may be closed from inside the call: it stays alive until
    // the call has returned.
    Ref<EnginePlayer> self = Ref<EnginePlayer>::Share(this);
    callback->Func();
}

Result EnginePlayer::AddSite(Site* site) {
    if (!site) return kInvalidArgument;
    sites_.push_back(Ref<Site>::Share(site));
    if (!renderer_ && decoder_.HasVideo()) {
        site->SetPosition({0, 0});
        site->SetSize({decoder_.Width(), decoder_.Height()});
        auto renderer =
            Ref<SiteRenderer>::Adopt(new SiteRenderer(decoder_.Width(), decoder_.Height()));
        if (site->AttachUser(renderer.Get()) == kOk) renderer_ = std::move(renderer);
    }
    return kOk;
}

Result EnginePlayer::RemoveSite(Site* site) {
    const auto found = std::find_if(sites_.begin(), sites_.end(),
                                    [site](const auto& s) { return s.Get() == site; });
    if (found == sites_.end()) return kUnexpected;
    Ref<Site> removed = std::move(*found);
    sites_.erase(found);
    if (renderer_ && renderer_->AttachedSite() == site) {
        removed->DetachUser();
        renderer_.Reset();
    }
    return kOk;
}

void EnginePlayer::ReleaseSites() {
    if (renderer_) {
        if (Site* site = renderer_->AttachedSite()) site->DetachUser();
        renderer_.Reset();
    }
    if (auto supplier = Query<SiteSupplier>(context_.Get(), kSiteSupplierId)) {
        if (siteRequest_) supplier->SitesNotNeeded(kSiteRequestId);
    }
    siteRequest_.Reset();
    sites_.clear();
}

Result EnginePlayer::CreateInstance(const InterfaceId& classId, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (!(classId == kValuesId)) return kNoInterface;
    *object = static_cast<Values*>(new ValueSet);
    return kOk;
}

Result EnginePlayer::AddErrorSink(ErrorSink* sink, std::uint8_t, std::uint8_t) {
    if (!sink) return kInvalidArgument;
    errorSinks_.push_back(Ref<ErrorSink>::Share(sink));
    return kOk;
}

Result EnginePlayer::RemoveErrorSink(ErrorSink* sink) {
    const auto found = std::find_if(errorSinks_.begin(), errorSinks_.end(),
                                    [sink](const auto& s) { return s.Get() == sink; });
    if (found == errorSinks_.end()) return kUnexpected;
    errorSinks_.erase(found);
    return kOk;
}

Result EnginePlayer::GetNumber(const char* name, std::int64_t* value) {
    if (!name || !value) return kInvalidArgument;
    if (strcasecmp(name, "PicturesRendered") == 0) {
        *value = picturesRendered_;
    } else if (strcasecmp(name, "BlocksWritten") == 0) {
        *value = blocksWritten_;
    } else {
        return kFail;
    }
    return kOk;
}

Result EnginePlayer::OnTimeSync(std::uint32_t timeMs) {
    clockMs_ = std::max(clockMs_, timeMs);
    ++blocksSynced_;
    RenderPicturesBefore(timeMs);
    ReportPosition(clockMs_);
    pump_.Post(kStepMessage, 0, 0);
    return kOk;
}

void EnginePlayer::Pump::OnMessage(unsigned message, std::uintptr_t, std::intptr_t) {
    if (message == kStepMessage) player_.Step();
    if (message == kSchedulerMessage) player_.RunNextScheduled();
}

void EnginePlayer::Step() {
    if (!playing_ || ended_) return;
    Ref<EnginePlayer> self = Ref<EnginePlayer>::Share(this);
    if (audioOpen_) {
        FeedAudio();
    } else {
        PlayOnOwnClock();
    }
}

void EnginePlayer::FeedAudio() {
    while (!soundEnded_ && blocksWritten_ - blocksSynced_ < kBlocksAhead && playing_) {
        if (!WriteBlock()) soundEnded_ = true;
    }
    if (soundEnded_ && blocksSynced_ >= blocksWritten_) Finish();
}

bool EnginePlayer::WriteBlock() {
    std::vector<std::uint8_t>& sound = decoder_.Sound();
    while (sound.size() < blockBytes_ && decoder_.DecodeMore()) {
    }
    const std::uint32_t frameBytes = static_cast<std::uint32_t>(decoder_.Channels()) * 2u;
    const std::size_t take =
        std::min<std::size_t>(sound.size(), blockBytes_) / frameBytes * frameBytes;
    if (take == 0) return false;
    std::vector<std::uint8_t> block(sound.begin(),
                                    sound.begin() + static_cast<std::ptrdiff_t>(take));
    sound.erase(sound.begin(), sound.begin() + static_cast<std::ptrdiff_t>(take));
    samplesWritten_ += take / frameBytes;
    AudioData data;
    auto buffer = Ref<PcmBuffer>::Adopt(new PcmBuffer(std::move(block)));
    data.data = buffer.Get();
    // The time the sound reaches once this block has been played.
    data.audioTimeMs = static_cast<std::uint32_t>(
        samplesWritten_ * 1000 / static_cast<std::uint64_t>(decoder_.SampleRate()));
    ++blocksWritten_;
    audioDevice_->Write(&data);
    return true;
}

void EnginePlayer::PlayOnOwnClock() {
    auto& pictures = decoder_.Pictures();
    while (pictures.empty() && decoder_.DecodeMore()) {
        decoder_.Sound().clear();  // sound nobody can hear
    }
    decoder_.Sound().clear();
    if (pictures.empty()) {
        Finish();
        return;
    }
    const std::uint32_t time = pictures.front().timeMs;
    RenderPicturesBefore(static_cast<std::uint64_t>(time) + 1);
    clockMs_ = std::max(clockMs_, time);
    if (clockMs_ - lastReportedMs_ >= kReportEveryMs) ReportPosition(clockMs_);
    pump_.Post(kStepMessage, 0, 0);
}

void EnginePlayer::RenderPicturesBefore(std::uint64_t timeMs) {
    auto& pictures = decoder_.Pictures();
    while (!pictures.empty() && pictures.front().timeMs < timeMs) {
        const DecodedPicture picture = std::move(pictures.front());
        pictures.pop_front();
        videoEndMs_ = std::max(videoEndMs_, picture.timeMs + decoder_.PictureDurationMs());
        if (renderer_ && renderer_->Render(picture)) ++picturesRendered_;
    }
}

void EnginePlayer::Finish() {
    // The pictures after the last of the sound.
    while (decoder_.DecodeMore() || !decoder_.Pictures().empty()) {
        decoder_.Sound().clear();
        RenderPicturesBefore(std::numeric_limits<std::uint64_t>::max());
    }
    const auto soundEndMs = static_cast<std::uint32_t>(
        decoder_.SampleRate() > 0
            ? samplesWritten_ * 1000 / static_cast<std::uint64_t>(decoder_.SampleRate())
            : 0);
    // With pictures, the presentation ends when its last picture does, so
    // that the pictures shown over it keep their own pace.
    clockMs_ = picturesRendered_ > 0 ? videoEndMs_ : std::max(clockMs_, soundEndMs);
    ended_ = true;
    // The presentation is as long as what was played of it.
    for (auto& sink : adviseSinks_) sink->OnPosLength(clockMs_, clockMs_);
}

void EnginePlayer::ReportPosition(std::uint32_t positionMs) {
    lastReportedMs_ = positionMs;
    const std::uint32_t length = std::max(decoder_.LengthMs(), positionMs);
    for (auto& sink : adviseSinks_) sink->OnPosLength(positionMs, length);
}

void EnginePlayer::Report(Result (ClientAdviseSink::*callback)()) {
    for (auto& sink : adviseSinks_) (sink.Get()->*callback)();
}

}  // namespace realengine
