// The DVD image SDK, loaded by name from the program folder
// ("libFoxImager.so") with its functions looked up by name, as the program
// imports it. Without the library every build fails with a reason.
#pragma once

#include <string>

#include "sdk/foximager/fox_imager.h"

class FoxImagerLibrary {
public:
    explicit FoxImagerLibrary(const std::string& programFolder);
    ~FoxImagerLibrary();
    FoxImagerLibrary(const FoxImagerLibrary&) = delete;
    FoxImagerLibrary& operator=(const FoxImagerLibrary&) = delete;

    // True when the library and every function were found; else LoadError
    // says what is missing.
    bool Loaded() const { return loaded_; }
    const std::string& LoadError() const { return loadError_; }

    decltype(&DVDImageBuild_Create) Create = nullptr;
    decltype(&DVDImageBuild_LoadINI) LoadINI = nullptr;
    decltype(&DVDImageBuild_SetOutputFolder) SetOutputFolder = nullptr;
    decltype(&DVDImageBuild_SetProgressCallback) SetProgressCallback = nullptr;
    decltype(&DVDImageBuild_BuildDVD) BuildDVD = nullptr;
    decltype(&DVDImageBuild_StopBuildDVD) StopBuildDVD = nullptr;
    decltype(&DVDImageBuild_Destory) Destory = nullptr;
    decltype(&DVDImageBuild_GetErrorText) GetErrorText = nullptr;

private:
    void* handle_ = nullptr;
    bool loaded_ = false;
    std::string loadError_;
};

inline constexpr const char* kFoxImagerFileName = "libFoxImager.so";
