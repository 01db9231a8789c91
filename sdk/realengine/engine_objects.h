// The tag of the objects the engine library makes, for its count of live
// objects, and the engine's own results beyond the common ones.
#pragma once

#include "sdk/realengine/interface_ref.h"

namespace realengine {

struct EngineObjects {};
template <class Derived>
using EngineRefCounted = RefCounted<Derived, EngineObjects>;

// OpenURL's failures: no such file, or nothing in it the engine can play.
inline constexpr Result kFileNotFound = static_cast<Result>(0x80041001);
inline constexpr Result kUndecodablePresentation = static_cast<Result>(0x80041002);
// A URL of another scheme than "file:".
inline constexpr Result kUnsupportedUrl = static_cast<Result>(0x80041003);

// Answers QueryInterface for `Interface` (and the base interface) with
// `object`, referenced.
template <class Interface, class Object>
bool Offer(Object* object, const InterfaceId& asked, const InterfaceId& offered, void** out) {
    if (!(asked == offered)) return false;
    *out = static_cast<Interface*>(object);
    object->AddRef();
    return true;
}

}  // namespace realengine
