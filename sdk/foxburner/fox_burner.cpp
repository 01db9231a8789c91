// The exported functions: each hands its call to the process's one session.
#include "sdk/foxburner/fox_burner.h"

#include "sdk/foxburner/burner_session.h"

namespace {

// The interface has no handle: one session serves the whole process.
foxburner::BurnerSession& Session() {
    static foxburner::BurnerSession session;
    return session;
}

}  // namespace

static_assert(sizeof(FoxBurnerOptions) == FOXBURNER_OPTIONS_BYTES);

extern "C" {

FOXBURNER_API int Initialize(void) { return Session().Initialize(); }

FOXBURNER_API int SetASPI(int) { return FOXBURNER_OK; }

FOXBURNER_API void SetFinalizeEventCallback(FinalizeEventCallback callback, void* context) {
    Session().SetFinalizeCallback(callback, context);
}

FOXBURNER_API void SetBurnDoneEventCallback(BurnDoneEventCallback callback, void* context) {
    Session().SetBurnDoneCallback(callback, context);
}

FOXBURNER_API void SetProcessEventCallback(ProcessEventCallback callback, void* context) {
    Session().SetProcessCallback(callback, context);
}

FOXBURNER_API void SetVideoScannerEventCallback(VideoScannerEventCallback callback, void* context) {
    Session().SetVideoScannerCallback(callback, context);
}

FOXBURNER_API void SetVideoScanDoneEventCallback(VideoScanDoneEventCallback callback,
                                                 void* context) {
    Session().SetVideoScanDoneCallback(callback, context);
}

FOXBURNER_API int CreateProject(int projectType) { return Session().CreateProject(projectType); }

FOXBURNER_API int GetOptions(FoxBurnerOptions* options) { return Session().GetOptions(options); }

FOXBURNER_API int SetOptions(const FoxBurnerOptions* options) {
    return Session().SetOptions(options);
}

FOXBURNER_API int SetImageFolder(const char* folder) { return Session().SetImageFolder(folder); }

FOXBURNER_API int GetDevices(char* entries, int* count, int) {
    return Session().GetDevices(entries, count);
}

FOXBURNER_API int SetDevice(char letter) { return Session().SetDevice(letter); }

FOXBURNER_API int ClearAll(void) { return Session().ClearAll(); }

FOXBURNER_API int AddDir(const char* folder, const char* discPath, const char* pattern,
                         int attributeMask, int recursive) {
    return Session().AddDir(folder, discPath, pattern, attributeMask, recursive);
}

FOXBURNER_API int AddFile(const char* path) { return Session().AddFile(path); }

FOXBURNER_API int IsDeviceReady(void) { return Session().IsDeviceReady(); }

FOXBURNER_API int SetBurnSpeed(int speed) { return Session().SetBurnSpeed(speed); }

FOXBURNER_API int Prepare(void) { return Session().Prepare(); }

FOXBURNER_API int Burn(void) { return Session().Burn(); }

FOXBURNER_API int Abort(void) { return Session().Abort(); }

FOXBURNER_API int GetText(int errorCode, char* text, int size) {
    return Session().GetText(errorCode, text, size);
}

FOXBURNER_API int GetImageFile(char* path, int size) { return Session().GetImageFile(path, size); }

FOXBURNER_API int DeleteProject(void) { return Session().DeleteProject(); }

}  // extern "C"
