#include "app/profiles/conversion_target.h"

#include <array>

namespace {

// Indexed by target; the reserved row has no button (command 0).
constexpr std::array<TargetInfo, kTargetCount> kTargets = {{
    {1033, "AVI", "Convert to AVI", "AVI Profile", ".avi", "AVI Profile Editor"},
    {1034, "MPEG", "Convert to MPEG", "MPEG Profile", ".mpg", "MPEG Profile Editor"},
    {1035, "WMV", "Convert to WMV", "WM Profile", ".wmv", ""},
    {0, "", "", "", "", ""},
    {1037, "DVD", "Convert to DVD", "Burn to", ".mpg", ""},
    {1200, "3GP", "Convert to 3GP for Mobile", "3GP Profile", "", "3GP Profile Editor"},
    {1201, "iPod", "Convert to MP4 for iPod", "iPod Profile", "", "iPod Profile Editor"},
    {1202, "PSP", "Convert to MP4 for PSP", "PSP Profile", "", "PSP Profile Editor"},
    {1203, "iPhone", "Convert to MP4 for iPhone", "iPhone Profile", "", "iPhone Profile Editor"},
    {1204, "Zune", "Convert to MP4 for ZUNE", "Zune Profile", "", "Zune Profile Editor"},
}};

}  // namespace

std::optional<TargetInfo> InfoOfTarget(int target) {
    if (target < 0 || target >= kTargetCount || target == kTargetReserved) return std::nullopt;
    return kTargets[static_cast<std::size_t>(target)];
}

std::optional<int> TargetOfCommand(int commandId) {
    for (int target = 0; target < kTargetCount; ++target) {
        if (target != kTargetReserved &&
            kTargets[static_cast<std::size_t>(target)].commandId == commandId) {
            return target;
        }
    }
    return std::nullopt;
}
