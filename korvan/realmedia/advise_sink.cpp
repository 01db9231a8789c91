#include "korvan/realmedia/advise_sink.h"

#include <cstdio>

namespace korvan::realmedia {

using namespace realengine;

AdviseSink::AdviseSink(Unknown* player, SharedCaptureSink sink)
    : player_(Ref<Unknown>::Share(player)), sink_(std::move(sink)) {
    statistics_ = Query<StatisticsRegistry>(player, kStatisticsRegistryId);
    if (auto enginePlayer = Query<Player>(player, kPlayerId)) enginePlayer->AddAdviseSink(this);
}

Result AdviseSink::QueryInterface(const InterfaceId& id, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (id == kUnknownId || id == kClientAdviseSinkId) {
        *object = static_cast<ClientAdviseSink*>(this);
        AddRef();
        return kOk;
    }
    return kNoInterface;
}

template <class... Args>
void AdviseSink::Trace(const char* format, Args... args) {
    if (!sink_->trace) return;
    if constexpr (sizeof...(Args) == 0) {
        std::fputs(format, sink_->trace);
    } else {
        std::fprintf(sink_->trace, format, args...);
    }
}

Result AdviseSink::OnPosLength(uint32_t positionMs, uint32_t lengthMs) {
    Trace("OnPosLength(%ld, %ld)\n", static_cast<long>(positionMs), static_cast<long>(lengthMs));
    const PlaybackProgress progress = ProgressAt(positionMs, lengthMs);
    if (sink_->progress) sink_->progress(progress);
    if (sink_->writer) sink_->writer->SetDurationMs(static_cast<int32_t>(positionMs));
    return kOk;
}

Result AdviseSink::OnPresentationOpened() {
    Trace("OnPresentationOpened()\n");
    return kOk;
}

Result AdviseSink::OnPresentationClosed() {
    Trace("OnPresentationClosed()\n");
    return kOk;
}

Result AdviseSink::OnStatisticsChanged() {
    Trace("OnStatisticsChanged():\n");
    return kOk;
}

Result AdviseSink::OnPreSeek(uint32_t oldTimeMs, uint32_t newTimeMs) {
    Trace("OnPreSeek(%ld, %ld)\n", static_cast<long>(oldTimeMs), static_cast<long>(newTimeMs));
    return kOk;
}

Result AdviseSink::OnPostSeek(uint32_t oldTimeMs, uint32_t newTimeMs) {
    Trace("OnPostSeek(%ld, %ld)\n", static_cast<long>(oldTimeMs), static_cast<long>(newTimeMs));
    return kOk;
}

Result AdviseSink::OnStop() {
    Trace("OnStop()\n");
    return kOk;
}

Result AdviseSink::OnPause(uint32_t timeMs) {
    Trace("OnPause(%ld)\n", static_cast<long>(timeMs));
    return kOk;
}

Result AdviseSink::OnBegin(uint32_t timeMs) {
    Trace("OnBegin(%ld)\n", static_cast<long>(timeMs));
    return kOk;
}

Result AdviseSink::OnBuffering(uint32_t flags, uint16_t percent) {
    Trace("OnBuffering(%ld, %d)\n", static_cast<long>(flags), static_cast<int>(percent));
    return kOk;
}

Result AdviseSink::OnContacting(const char* hostName) {
    Trace("OnContacting(\"%s\")\n", hostName ? hostName : "");
    return kOk;
}

}  // namespace korvan::realmedia
