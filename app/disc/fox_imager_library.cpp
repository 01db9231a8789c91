#include "app/disc/fox_imager_library.h"

#include <dlfcn.h>

namespace {

template <typename Function>
bool Find(void* library, const char* name, Function& function, std::string& missing) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    if (!function && missing.empty()) missing = name;
    return function != nullptr;
}

}  // namespace

FoxImagerLibrary::FoxImagerLibrary(const std::string& programFolder) {
    const std::string path = programFolder + kFoxImagerFileName;
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* reason = dlerror();
        loadError_ = "The DVD image library " + path + " cannot be loaded" +
                     (reason ? std::string(": ") + reason : std::string()) + ".";
        return;
    }
    std::string missing;
    Find(handle_, "DVDImageBuild_Create", Create, missing);
    Find(handle_, "DVDImageBuild_LoadINI", LoadINI, missing);
    Find(handle_, "DVDImageBuild_SetOutputFolder", SetOutputFolder, missing);
    Find(handle_, "DVDImageBuild_SetProgressCallback", SetProgressCallback, missing);
    Find(handle_, "DVDImageBuild_BuildDVD", BuildDVD, missing);
    Find(handle_, "DVDImageBuild_StopBuildDVD", StopBuildDVD, missing);
    Find(handle_, "DVDImageBuild_Destory", Destory, missing);
    Find(handle_, "DVDImageBuild_GetErrorText", GetErrorText, missing);
    if (!missing.empty()) {
        loadError_ = "The DVD image library " + path + " has no function " + missing + ".";
        return;
    }
    loaded_ = true;
}

FoxImagerLibrary::~FoxImagerLibrary() {
    if (handle_) dlclose(handle_);
}
