#include "app/disc/burning_sdk.h"

#include <dlfcn.h>

namespace {

template <typename Function>
bool Find(void* library, const char* name, Function& function, std::string& error) {
    void* symbol = dlsym(library, name);
    if (!symbol) {
        error = std::string("the function ") + name + " is missing from " + kBurningSdkFileName;
        return false;
    }
    function = reinterpret_cast<Function>(symbol);
    return true;
}

}  // namespace

const BurningSdk* LoadBurningSdk(const std::string& programFolder, std::string& error) {
    static BurningSdk sdk;
    static bool loaded = false;
    if (loaded) return &sdk;
    const std::string path = programFolder + kBurningSdkFileName;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) {
        const char* reason = dlerror();
        error = reason ? reason : "cannot load " + path;
        return nullptr;
    }
    BurningSdk found;
    const bool complete =
        Find(library, "Initialize", found.Initialize, error) &&
        Find(library, "SetASPI", found.SetASPI, error) &&
        Find(library, "SetFinalizeEventCallback", found.SetFinalizeEventCallback, error) &&
        Find(library, "SetBurnDoneEventCallback", found.SetBurnDoneEventCallback, error) &&
        Find(library, "SetProcessEventCallback", found.SetProcessEventCallback, error) &&
        Find(library, "SetVideoScannerEventCallback", found.SetVideoScannerEventCallback, error) &&
        Find(library, "SetVideoScanDoneEventCallback", found.SetVideoScanDoneEventCallback,
             error) &&
        Find(library, "CreateProject", found.CreateProject, error) &&
        Find(library, "GetOptions", found.GetOptions, error) &&
        Find(library, "SetOptions", found.SetOptions, error) &&
        Find(library, "SetImageFolder", found.SetImageFolder, error) &&
        Find(library, "GetDevices", found.GetDevices, error) &&
        Find(library, "SetDevice", found.SetDevice, error) &&
        Find(library, "ClearAll", found.ClearAll, error) &&
        Find(library, "AddDir", found.AddDir, error) &&
        Find(library, "AddFile", found.AddFile, error) &&
        Find(library, "IsDeviceReady", found.IsDeviceReady, error) &&
        Find(library, "SetBurnSpeed", found.SetBurnSpeed, error) &&
        Find(library, "Prepare", found.Prepare, error) &&
        Find(library, "Burn", found.Burn, error) && Find(library, "Abort", found.Abort, error) &&
        Find(library, "GetText", found.GetText, error) &&
        Find(library, "GetImageFile", found.GetImageFile, error) &&
        Find(library, "DeleteProject", found.DeleteProject, error);
    if (!complete) {
        dlclose(library);
        return nullptr;
    }
    sdk = found;
    loaded = true;
    return &sdk;
}
