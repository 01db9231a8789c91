// What the engine-facing objects of a playback write into: the AVI, the
// progress of the presentation and the advise sink's trace. The playback
// owns it and empties it when it ends, so an object the engine kept longer
// than the playback writes nothing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

#include "korvan/media/avi_writer.h"
#include "korvan/realmedia/playback_progress.h"
#include "sdk/realengine/interface_ref.h"

namespace korvan::realmedia {

struct CaptureSink {
    media::AviWriter* writer = nullptr;
    // Every position report of the engine, worked out.
    std::function<void(const PlaybackProgress&)> progress;
    std::FILE* trace = nullptr;
};

using SharedCaptureSink = std::shared_ptr<CaptureSink>;

// The tag of the objects this library makes for the engine.
struct KorvanEngineObjects {};
template <class Derived>
using KorvanRefCounted = realengine::RefCounted<Derived, KorvanEngineObjects>;

// How many of them exist now.
inline int LiveEngineObjects() { return realengine::LiveObjects<KorvanEngineObjects>::Count(); }

}  // namespace korvan::realmedia
