#include "sdk/realengine/value_set.h"

#include <strings.h>

namespace realengine {

bool ValueSet::NoCase::operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

Result ValueSet::QueryInterface(const InterfaceId& id, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (Offer<Values>(this, id, kUnknownId, object) || Offer<Values>(this, id, kValuesId, object)) {
        return kOk;
    }
    return kNoInterface;
}

Result ValueSet::SetNumberProperty(const char* name, std::uint32_t value) {
    if (!name) return kInvalidArgument;
    numbers_[name] = value;
    return kOk;
}

Result ValueSet::GetNumberProperty(const char* name, std::uint32_t* value) {
    if (!name || !value) return kInvalidArgument;
    const auto found = numbers_.find(name);
    if (found == numbers_.end()) return kFail;
    *value = found->second;
    return kOk;
}

Result ValueSet::GetFirstNumberProperty(const char** name, std::uint32_t* value) {
    nextNumber_ = numbers_.begin();
    return GetNextNumberProperty(name, value);
}

Result ValueSet::GetNextNumberProperty(const char** name, std::uint32_t* value) {
    if (!name || !value) return kInvalidArgument;
    if (nextNumber_ == numbers_.end()) return kFail;
    *name = nextNumber_->first.c_str();
    *value = nextNumber_->second;
    ++nextNumber_;
    return kOk;
}

Result ValueSet::SetBufferProperty(const char*, Buffer*) { return kNotImplemented; }
Result ValueSet::GetBufferProperty(const char*, Buffer**) { return kNotImplemented; }

Result ValueSet::GetFirstTextProperty(const char** name, const char** value) {
    nextText_ = texts_.begin();
    return GetNextTextProperty(name, value);
}

Result ValueSet::GetNextTextProperty(const char** name, const char** value) {
    if (!name || !value) return kInvalidArgument;
    if (nextText_ == texts_.end()) return kFail;
    *name = nextText_->first.c_str();
    *value = nextText_->second.c_str();
    ++nextText_;
    return kOk;
}

Result ValueSet::SetTextProperty(const char* name, const char* value) {
    if (!name || !value) return kInvalidArgument;
    texts_[name] = value;
    // Setting may move the walk's place; it starts again.
    nextText_ = texts_.end();
    return kOk;
}

Result ValueSet::GetTextProperty(const char* name, const char** value) {
    if (!name || !value) return kInvalidArgument;
    const auto found = texts_.find(name);
    if (found == texts_.end()) return kFail;
    *value = found->second.c_str();
    return kOk;
}

}  // namespace realengine
