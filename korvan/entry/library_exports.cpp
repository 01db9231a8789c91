#include "korvan/entry/library_exports.h"

#include "korvan/entry/module_state.h"
#include "korvan/media/source_classification.h"

KORVAN_EXPORT int bIsRMFile(const char* path) {
    korvan::media::RealMediaFlags& flags = korvan::State().realMediaFlags;
    if (!path) {
        flags = korvan::media::RealMediaFlags{};
        return 0;
    }
    korvan::media::IsRealMediaPath(path, flags);
    return flags.realMedia || flags.metafile ? 1 : 0;
}
