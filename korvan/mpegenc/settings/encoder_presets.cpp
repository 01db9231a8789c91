#include "korvan/mpegenc/settings/encoder_presets.h"

#include "korvan/mpegenc/settings/frame_rates.h"
#include "korvan/mpegenc/settings/motion_geometry.h"

namespace korvan {
namespace {

// A value that differs between the PAL and the NTSC variant.
struct TvPair {
    int pal;
    int ntsc;
    int Of(TvSystem system) const { return system == TvSystem::kPal ? pal : ntsc; }
};

enum class VbrMultiplex { kOff, kOn, kUnlessConstantBitrate };

struct VideoPart {
    const char* descriptionPal;
    const char* descriptionNtsc;
    int videoType;
    int constrainedParameters;
    TvPair iFramesInGOP;
    TvPair aspectRatio;
    int displayHorizontalSize;
    TvPair displayVerticalSize;
    int progressive;  // progressiveSequence and progressiveFrame
    int intraDCPrec;
    int topFieldFirst;
    int sliceHdrEveryMBrow;
    int mpeg2Tools;  // quantizationScale*, alternateScan* and intraVLCFormatI
    int writeSequenceDisplayExt;
    double constBitrate;
    double maxBitrate;
    int vbvBufferSize;
    int forceVBVDelay;
    int constBitrateFlag;
    int mquantValue;
    int minFramePercentage;
    int padFramePercentage;
    int errorProtection;
};

struct ProgramPart {
    int programStreamType;
    int sectorSize;
    int sectorDelay;
    int delay;  // videoDelay, audioDelay and audio1Delay
    int videoBufferSize;
    int useComputedBitrate;
    int muxPulldownFlag;
    int alignSequenceHeaders;
    int userMuxRate;
    int usePrivateStream2;
    int frameTimestamps;
    VbrMultiplex vbrMultiplex;
    int muxSVCDScanOffsets;
    int splitFileFlags;  // resetClocks, writeEndCodes and setBrokenLink
};

struct Preset {
    VideoPart video;
    ProgramPart program;
};

// Indexed by EncoderPreset.
constexpr Preset kPresets[] = {
    {{"MPEG-1 PAL video and MPEG audio",
      "MPEG-1 NTSC video and MPEG audio",
      kVideoMpeg1,
      0,
      {15, 15},
      {8, 12},
      352,
      {288, 240},
      1,
      0,
      0,
      0,
      0,
      1,
      1800000,
      0,
      23,
      0,
      0,
      4,
      25,
      90,
      0},
     {kStreamMpeg1, 2048, 0, 180, 46, 2, 0, 0, 0, 0, 0, VbrMultiplex::kUnlessConstantBitrate, 0,
      1}},
    {{"MPEG-1 VideoCD PAL video and MPEG audio",
      "MPEG-1 VideoCD NTSC video and MPEG audio",
      kVideoVcd,
      1,
      {15, 15},
      {8, 12},
      352,
      {288, 240},
      1,
      0,
      0,
      0,
      0,
      1,
      1150000,
      1151929,
      20,
      0,
      1,
      4,
      25,
      90,
      0},
     {kStreamVcd, 2324, 400, 344, 46, 0, 0, 0, 3528, 0, 0, VbrMultiplex::kOff, 0, 1}},
    {{"MPEG-2 PAL video and MPEG audio",
      "MPEG-2 NTSC video and MPEG audio",
      kVideoMpeg2,
      0,
      {15, 15},
      {2, 2},
      720,
      {576, 480},
      0,
      1,
      1,
      1,
      1,
      1,
      6000000,
      0,
      112,
      1,
      0,
      4,
      25,
      90,
      0},
     {kStreamMpeg2, 2048, 0, 180, 224, 2, 3, 0, 0, 0, 0, VbrMultiplex::kUnlessConstantBitrate, 0,
      1}},
    {{"MPEG-2 SuperVCD PAL video and MPEG audio",
      "MPEG-2 SuperVCD NTSC video and MPEG audio",
      kVideoSvcd,
      0,
      {15, 15},
      {2, 2},
      720,
      {576, 480},
      0,
      1,
      1,
      1,
      1,
      0,
      2300000,
      2376000,
      112,
      1,
      0,
      10,
      25,
      90,
      1},
     {kStreamSvcd, 2324, 0, 180, 230, 2, 3, 1, 6972, 0, 0, VbrMultiplex::kOn, 1, 1}},
    {{"MPEG-2 DVD PAL video and MPEG audio",
      "MPEG-2 DVD NTSC video and MPEG audio",
      kVideoDvd,
      0,
      {12, 15},
      {2, 2},
      720,
      {576, 480},
      0,
      1,
      1,
      1,
      1,
      1,
      6000000,
      9800000,
      112,
      1,
      0,
      4,
      0,
      0,
      1},
     {kStreamDvd, 2048, 0, 180, 232, 2, 3, 1, 25200, 1, 2, VbrMultiplex::kUnlessConstantBitrate, 0,
      0}},
};

// What every preset shares, whatever the target.
void ApplyCommonValues(EncoderSettings& s, TvSystem system) {
    s.saveTempVideo = 1;
    s.saveTempAudio = 1;
    SetSettingsText(s.intraQuantMatrix, "");
    SetSettingsText(s.nonIntraQuantMatrix, "");
    SetSettingsText(s.statisticsFilename, "");

    s.useFloatingPoint = 0;
    s.verbose = 0;
    s.blackAndWhite = 0;
    s.userEncodeVideo = 1;
    s.userEncodeAudio = 1;
    s.multiplexVideo = 1;
    s.multiplexAudio = 1;

    s.videoPulldownFlag = 0;
    s.profile = kProfileMain;
    s.level = kLevelMain;
    s.chromaFormat = 1;
    s.frameRateCode = TvPair{3, 4}.Of(system);
    s.frameRate = FrameRateOfCode(s.frameRateCode);
    s.ipFrameDistance = 3;
    s.autoBitrate = 0;
    s.avgBitrate = 0;
    s.minBitrate = 0;
    s.firstFrameHours = 0;
    s.firstFrameMinutes = 0;
    s.firstFrameSeconds = 0;
    s.firstFrameFrame = 0;
    s.firstFramePictures = 0;

    s.audioLayer = 2;
    s.audioMode = 0;
    s.deEmphasis = 0;
    s.audioBitrate = 11;
    s.privateBit = 0;
    s.copyrightBit = 0;
    s.originalBit = 0;
    s.psychModel = 2;

    s.colorPrimaries = TvPair{5, 4}.Of(system);
    s.transferCharacteristics = TvPair{5, 4}.Of(system);
    s.matrixCoefficients = 5;
    s.videoFormat = TvPair{1, 2}.Of(system);
    s.variableMaxMotion = 58;
    s.fieldPictures = 0;
    s.repeatFirstField = 0;
    s.intraVLCFormatP = 0;
    s.intraVLCFormatB = 0;
    s.framePredDCTI = 1;
    s.framePredDCTP = 1;
    s.framePredDCTB = 1;
    s.writeSequenceEndCode = 1;
    s.embedSVCDUserBlocks = 0;
    s.writePictureDisplayExt = 0;
    s.frameCentreHorizontalOffset = 0;
    s.frameCentreVerticalOffset = 0;
    s.reactionParameter = 0;
    s.initialAverageActivity = 0;
    s.initialIComplexity = 0;
    s.initialPComplexity = 0;
    s.initialBComplexity = 0;
    s.initialIFullness = 0;
    s.initialPFullness = 0;
    s.initialBFullness = 0;
    s.resetPBIVBF = 1;
    s.autoVectorLengths = 1;
    s.horzPelMovement = 3;
    s.vertPelMovement = 3;
}

void ApplyVideoPart(EncoderSettings& s, const VideoPart& p, TvSystem system) {
    SetSettingsText(s.description, system == TvSystem::kPal ? p.descriptionPal : p.descriptionNtsc);
    s.videoType = p.videoType;
    s.constrainedParameters = p.constrainedParameters;
    s.iFramesInGOP = p.iFramesInGOP.Of(system);
    s.aspectRatio = p.aspectRatio.Of(system);
    s.displayHorizontalSize = p.displayHorizontalSize;
    s.displayVerticalSize = p.displayVerticalSize.Of(system);
    s.progressiveSequence = p.progressive;
    s.progressiveFrame = p.progressive;
    s.intraDCPrec = p.intraDCPrec;
    s.topFieldFirst = p.topFieldFirst;
    s.sliceHdrEveryMBrow = p.sliceHdrEveryMBrow;
    s.quantizationScaleI = p.mpeg2Tools;
    s.quantizationScaleP = p.mpeg2Tools;
    s.quantizationScaleB = p.mpeg2Tools;
    s.alternateScanI = p.mpeg2Tools;
    s.alternateScanP = p.mpeg2Tools;
    s.alternateScanB = p.mpeg2Tools;
    s.intraVLCFormatI = p.mpeg2Tools;
    s.writeSequenceDisplayExt = p.writeSequenceDisplayExt;
    s.constBitrate = p.constBitrate;
    s.maxBitrate = p.maxBitrate;
    s.vbvBufferSize = p.vbvBufferSize;
    s.forceVBVDelay = p.forceVBVDelay;
    s.constBitrateFlag = p.constBitrateFlag;
    s.mquantValue = p.mquantValue;
    s.minFramePercentage = p.minFramePercentage;
    s.padFramePercentage = p.padFramePercentage;
    s.errorProtection = p.errorProtection;
}

void ApplyProgramPart(EncoderSettings& s, const ProgramPart& p) {
    s.programStreamType = p.programStreamType;
    s.sectorSize = p.sectorSize;
    s.sectorDelay = p.sectorDelay;
    s.videoDelay = p.delay;
    s.audioDelay = p.delay;
    s.audio1Delay = p.delay;
    s.videoBufferSize = p.videoBufferSize;
    s.useComputedBitrate = p.useComputedBitrate;
    s.muxPulldownFlag = p.muxPulldownFlag;
    s.alignSequenceHeaders = p.alignSequenceHeaders;
    s.userMuxRate = p.userMuxRate;
    s.usePrivateStream2 = p.usePrivateStream2;
    s.frameTimestamps = p.frameTimestamps;
    switch (p.vbrMultiplex) {
        case VbrMultiplex::kOff:
            s.vbrMultiplex = 0;
            break;
        case VbrMultiplex::kOn:
            s.vbrMultiplex = 1;
            break;
        case VbrMultiplex::kUnlessConstantBitrate:
            s.vbrMultiplex = !s.constBitrateFlag;
            break;
    }
    s.muxSVCDScanOffsets = p.muxSVCDScanOffsets;
    s.resetClocks = p.splitFileFlags;
    s.writeEndCodes = p.splitFileFlags;
    s.setBrokenLink = p.splitFileFlags;

    s.audioBufferSize = 4;
    s.audio1BufferSize = 4;
    s.packetsPerPack = 1;
    s.alwaysWriteSysHeader = 0;
    s.padVCDAudio = 0;
    s.writeProgramEndCode = 1;
    s.maxFileSize = 0;
    s.muxStartTime = 0;
    s.muxStopTime = 0;
}

}  // namespace

void ApplyPreset(EncoderSettings& settings, EncoderPreset preset, TvSystem system) {
    const Preset& chosen = kPresets[static_cast<int>(preset)];
    ApplyCommonValues(settings, system);
    ApplyVideoPart(settings, chosen.video, system);
    DeriveMotionGeometry(settings);
    ApplyProgramPart(settings, chosen.program);
}

EncoderSettings PresetSettings(EncoderPreset preset, TvSystem system) {
    EncoderSettings settings;
    ApplyPreset(settings, preset, system);
    return settings;
}

}  // namespace korvan
