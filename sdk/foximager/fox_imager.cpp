// The SDK's exported functions over ImageBuilder. No exception may leave
// them: the caller is C.
#include "sdk/foximager/fox_imager.h"

#include <new>

#include "sdk/foximager/image_builder.h"

struct DVDImageBuilder {
    foximager::ImageBuilder builder;
    bool destroyAfterBuild = false;
};

namespace {

constexpr const char* kNoBuilder = "There is no builder.";
constexpr const char* kOutOfMemory = "The build ran out of memory.";

// Runs `call` on the handle's builder: 0 for a null handle, 0 with a reason
// for an exception.
template <typename Call>
int Guarded(DVDImageBuildHandle handle, Call&& call) {
    if (!handle) return 0;
    try {
        return call(handle->builder) ? 1 : 0;
    } catch (...) {
        handle->builder.SetErrorText(kOutOfMemory);
        return 0;
    }
}

}  // namespace

extern "C" {

DVDImageBuildHandle DVDImageBuild_Create(void) { return new (std::nothrow) DVDImageBuilder; }

int DVDImageBuild_LoadINI(DVDImageBuildHandle handle, const char* path) {
    return Guarded(handle, [path](foximager::ImageBuilder& builder) {
        return builder.LoadDescription(path ? path : "");
    });
}

int DVDImageBuild_SetOutputFolder(DVDImageBuildHandle handle, const char* folder) {
    return Guarded(handle, [folder](foximager::ImageBuilder& builder) {
        return builder.SetOutputFolder(folder ? folder : "");
    });
}

int DVDImageBuild_SetProgressCallback(DVDImageBuildHandle handle,
                                      DVDImageBuildProgressCallback callback, void* context) {
    return Guarded(handle, [&](foximager::ImageBuilder& builder) {
        builder.SetProgressCallback(callback, context);
        return true;
    });
}

int DVDImageBuild_BuildDVD(DVDImageBuildHandle handle) {
    const int built =
        Guarded(handle, [](foximager::ImageBuilder& builder) { return builder.Build(); });
    if (handle && handle->destroyAfterBuild && !handle->builder.Building()) delete handle;
    return built;
}

int DVDImageBuild_StopBuildDVD(DVDImageBuildHandle handle) {
    return Guarded(handle, [](foximager::ImageBuilder& builder) {
        builder.Stop();
        return true;
    });
}

void DVDImageBuild_Destory(DVDImageBuildHandle handle) {
    if (!handle) return;
    if (handle->builder.Building()) {
        handle->builder.Stop();
        handle->destroyAfterBuild = true;
        return;
    }
    delete handle;
}

const char* DVDImageBuild_GetErrorText(DVDImageBuildHandle handle) {
    return handle ? handle->builder.ErrorText().c_str() : kNoBuilder;
}

const char* DVDImageBuild_GetAuthoringLog(DVDImageBuildHandle handle) {
    return handle ? handle->builder.AuthoringLog().c_str() : "";
}

}  // extern "C"
