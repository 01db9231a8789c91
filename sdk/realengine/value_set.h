// A set of named numbers and texts (class 00001302 of the player's class
// factory): the properties of a site request and of the client's sites.
#pragma once

#include <map>
#include <string>

#include "sdk/realengine/engine_objects.h"

namespace realengine {

class ValueSet final : public Values, public EngineRefCounted<ValueSet> {
public:
    Result QueryInterface(const InterfaceId& id, void** object) override;
    std::uint32_t AddRef() override { return AddRefCount(); }
    std::uint32_t Release() override { return ReleaseCount(); }

    Result SetNumberProperty(const char* name, std::uint32_t value) override;
    Result GetNumberProperty(const char* name, std::uint32_t* value) override;
    Result GetFirstNumberProperty(const char** name, std::uint32_t* value) override;
    Result GetNextNumberProperty(const char** name, std::uint32_t* value) override;
    Result SetBufferProperty(const char* name, Buffer* value) override;
    Result GetBufferProperty(const char* name, Buffer** value) override;
    Result GetFirstTextProperty(const char** name, const char** value) override;
    Result GetNextTextProperty(const char** name, const char** value) override;
    Result SetTextProperty(const char* name, const char* value) override;
    Result GetTextProperty(const char* name, const char** value) override;

private:
    // Names compare without regard to case.
    struct NoCase {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    std::map<std::string, std::uint32_t, NoCase> numbers_;
    std::map<std::string, std::string, NoCase> texts_;
    std::map<std::string, std::uint32_t, NoCase>::const_iterator nextNumber_;
    std::map<std::string, std::string, NoCase>::const_iterator nextText_;
};

}  // namespace realengine
