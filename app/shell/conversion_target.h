// The conversion targets, numbered as the target buttons and the profile
// files know them. 3 is reserved (no button selects it).
#pragma once

enum ConversionTarget : int {
    kTargetAvi = 0,
    kTargetMpeg = 1,
    kTargetWmv = 2,
    kTargetReserved = 3,
    kTargetDvd = 4,
    kTarget3gp = 5,
    kTargetIpod = 6,
    kTargetPsp = 7,
    kTargetIphone = 8,
    kTargetZune = 9,
};

constexpr int kTargetCount = 10;
