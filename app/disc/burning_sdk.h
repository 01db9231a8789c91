// The disc-burning SDK as the burning window uses it: libFoxBurner.so from
// the program folder, its functions looked up by name.
#pragma once

#include <memory>
#include <string>

#include "sdk/foxburner/fox_burner.h"

struct BurningSdk {
    decltype(&::Initialize) Initialize = nullptr;
    decltype(&::SetASPI) SetASPI = nullptr;
    decltype(&::SetFinalizeEventCallback) SetFinalizeEventCallback = nullptr;
    decltype(&::SetBurnDoneEventCallback) SetBurnDoneEventCallback = nullptr;
    decltype(&::SetProcessEventCallback) SetProcessEventCallback = nullptr;
    decltype(&::SetVideoScannerEventCallback) SetVideoScannerEventCallback = nullptr;
    decltype(&::SetVideoScanDoneEventCallback) SetVideoScanDoneEventCallback = nullptr;
    decltype(&::CreateProject) CreateProject = nullptr;
    decltype(&::GetOptions) GetOptions = nullptr;
    decltype(&::SetOptions) SetOptions = nullptr;
    decltype(&::SetImageFolder) SetImageFolder = nullptr;
    decltype(&::GetDevices) GetDevices = nullptr;
    decltype(&::SetDevice) SetDevice = nullptr;
    decltype(&::ClearAll) ClearAll = nullptr;
    decltype(&::AddDir) AddDir = nullptr;
    decltype(&::AddFile) AddFile = nullptr;
    decltype(&::IsDeviceReady) IsDeviceReady = nullptr;
    decltype(&::SetBurnSpeed) SetBurnSpeed = nullptr;
    decltype(&::Prepare) Prepare = nullptr;
    decltype(&::Burn) Burn = nullptr;
    decltype(&::Abort) Abort = nullptr;
    decltype(&::GetText) GetText = nullptr;
    decltype(&::GetImageFile) GetImageFile = nullptr;
    decltype(&::DeleteProject) DeleteProject = nullptr;
};

inline constexpr const char* kBurningSdkFileName = "libFoxBurner.so";

// Loads the SDK from `programFolder` (ending in "/") once for the process;
// it stays loaded, since the event sources it leaves with the caller's loop
// may outlive any one window. Null, with `error` set, when the library or
// one of its functions is missing.
const BurningSdk* LoadBurningSdk(const std::string& programFolder, std::string& error);
