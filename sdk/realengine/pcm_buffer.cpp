#include "sdk/realengine/pcm_buffer.h"

namespace realengine {

Result PcmBuffer::QueryInterface(const InterfaceId& id, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (Offer<Buffer>(this, id, kUnknownId, object) || Offer<Buffer>(this, id, kBufferId, object)) {
        return kOk;
    }
    return kNoInterface;
}

Result PcmBuffer::Get(std::uint8_t** bytes, std::uint32_t* size) {
    if (!bytes || !size) return kInvalidArgument;
    *bytes = bytes_.data();
    *size = GetSize();
    return kOk;
}

Result PcmBuffer::Set(const std::uint8_t* bytes, std::uint32_t size) {
    if (!bytes && size > 0) return kInvalidArgument;
    bytes_.assign(bytes, bytes + size);
    return kOk;
}

Result PcmBuffer::SetSize(std::uint32_t size) {
    bytes_.resize(size);
    return kOk;
}

}  // namespace realengine
