// A block of bytes handed to the client (a block of PCM for the audio
// device).
#pragma once

#include <vector>

#include "sdk/realengine/engine_objects.h"

namespace realengine {

class PcmBuffer final : public Buffer, public EngineRefCounted<PcmBuffer> {
public:
    explicit PcmBuffer(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    Result QueryInterface(const InterfaceId& id, void** object) override;
    std::uint32_t AddRef() override { return AddRefCount(); }
    std::uint32_t Release() override { return ReleaseCount(); }

    Result Get(std::uint8_t** bytes, std::uint32_t* size) override;
    Result Set(const std::uint8_t* bytes, std::uint32_t size) override;
    Result SetSize(std::uint32_t size) override;
    std::uint32_t GetSize() override { return static_cast<std::uint32_t>(bytes_.size()); }
    std::uint8_t* GetBuffer() override { return bytes_.data(); }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace realengine
