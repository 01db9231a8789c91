// Helpers for the engine's reference-counted interfaces, for both sides:
// `Ref` holds one reference, `RefCounted` counts them for an implementation,
// and `LiveObjects` counts every object a library has made and not yet
// destroyed, so a test can see that everything made was released.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "sdk/realengine/engine_interfaces.h"

namespace realengine {

template <class T>
class Ref {
public:
    Ref() = default;
    Ref(const Ref& other) : object_(other.object_) {
        if (object_) object_->AddRef();
    }
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~Ref() { Reset(); }

    // Takes over a reference the caller already holds.
    static Ref Adopt(T* object) {
        Ref ref;
        ref.object_ = object;
        return ref;
    }
    // Takes a reference of its own.
    static Ref Share(T* object) {
        if (object) object->AddRef();
        return Adopt(object);
    }

    void Reset() {
        if (T* object = std::exchange(object_, nullptr)) object->Release();
    }
    // Where an interface call stores a new reference (the old one is
    // released first).
    T** Put() {
        Reset();
        return &object_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(object_, nullptr); }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

// The object's interface `id`, or an empty reference.
template <class T>
Ref<T> Query(Unknown* object, const InterfaceId& id) {
    Ref<T> result;
    if (object) object->QueryInterface(id, result.PutVoid());
    return result;
}

// Objects made and not destroyed, per library (`Library` is a tag of its
// own in each).
template <class Library>
class LiveObjects {
public:
    LiveObjects() { count_.fetch_add(1, std::memory_order_relaxed); }
    LiveObjects(const LiveObjects&) : LiveObjects() {}
    LiveObjects& operator=(const LiveObjects&) = default;
    ~LiveObjects() { count_.fetch_sub(1, std::memory_order_relaxed); }
    static int Count() { return count_.load(std::memory_order_relaxed); }

private:
    static inline std::atomic<int> count_{0};
};

// The reference count of an implementation that is destroyed by its last
// Release; it starts at 1, the creator's reference.
template <class Derived, class Library>
class RefCounted {
protected:
    std::uint32_t AddRefCount() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::uint32_t ReleaseCount() {
        const std::uint32_t left = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

private:
    std::atomic<std::uint32_t> count_{1};
    LiveObjects<Library> live_;
};

}  // namespace realengine
