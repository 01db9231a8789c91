// The exports of libpnen3260.so: the engine is made by CreateEngine and
// given back to CloseEngine, which closes its players and releases it.
// EngineLiveObjects counts the objects of the library that exist, for tests
// that check a client released everything.
#include "sdk/realengine/engine_object.h"

#define ENGINE_EXPORT extern "C" __attribute__((visibility("default")))

ENGINE_EXPORT realengine::Result CreateEngine(realengine::Engine** engine) {
    if (!engine) return realengine::kInvalidArgument;
    *engine = static_cast<realengine::Engine*>(new realengine::EngineObject);
    return realengine::kOk;
}

ENGINE_EXPORT realengine::Result CloseEngine(realengine::Engine* engine) {
    if (!engine) return realengine::kInvalidArgument;
    auto* object = static_cast<realengine::EngineObject*>(engine);
    object->Shut();
    object->Release();
    return realengine::kOk;
}

ENGINE_EXPORT int EngineLiveObjects() {
    return realengine::LiveObjects<realengine::EngineObjects>::Count();
}
