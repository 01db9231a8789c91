#include "korvan/mpegenc/settings/settings_keys.h"

namespace korvan {
namespace {

constexpr char kLoadSave[] = "loadsave";
constexpr char kIoFiles[] = "iofiles";
constexpr char kGeneral[] = "general";
constexpr char kVideo[] = "video";
constexpr char kAudio[] = "audio";
constexpr char kProgram[] = "program";
constexpr char kAdvVideo[] = "advVideo";

class KeyList {
public:
    void Integer(const char* section, std::string name, int& field) {
        keys_.push_back({section, std::move(name), SettingsValueKind::kInteger, &field});
    }
    void Flag(const char* section, std::string name, int& field) {
        keys_.push_back({section, std::move(name), SettingsValueKind::kFlag, &field});
    }
    void Bitrate(const char* section, std::string name, double& field) {
        keys_.push_back({section, std::move(name), SettingsValueKind::kBitrate, nullptr, &field});
    }
    void Text(const char* section, std::string name, char (&field)[kSettingsTextChars]) {
        keys_.push_back(
            {section, std::move(name), SettingsValueKind::kText, nullptr, nullptr, &field});
    }
    std::vector<SettingsKey> Take() { return std::move(keys_); }

private:
    std::vector<SettingsKey> keys_;
};

}  // namespace

// Each key is spelled exactly as the field that holds it.
#define ZARVO_INTEGER(section, field) keys.Integer(section, #field, s.field)
#define ZARVO_FLAG(section, field) keys.Flag(section, #field, s.field)
#define ZARVO_BITRATE(section, field) keys.Bitrate(section, #field, s.field)
#define ZARVO_TEXT(section, field) keys.Text(section, #field, s.field)

std::vector<SettingsKey> SettingsKeysOf(EncoderSettings& s) {
    KeyList keys;
    ZARVO_TEXT(kLoadSave, description);

    ZARVO_FLAG(kIoFiles, saveTempVideo);
    ZARVO_FLAG(kIoFiles, saveTempAudio);
    ZARVO_TEXT(kIoFiles, intraQuantMatrix);
    ZARVO_TEXT(kIoFiles, nonIntraQuantMatrix);
    ZARVO_TEXT(kIoFiles, statisticsFilename);

    ZARVO_FLAG(kGeneral, useFloatingPoint);
    ZARVO_FLAG(kGeneral, verbose);
    ZARVO_FLAG(kGeneral, blackAndWhite);
    ZARVO_FLAG(kGeneral, userEncodeVideo);
    ZARVO_FLAG(kGeneral, userEncodeAudio);
    ZARVO_FLAG(kGeneral, multiplexVideo);
    ZARVO_FLAG(kGeneral, multiplexAudio);
    ZARVO_INTEGER(kGeneral, muxStartTime);
    ZARVO_INTEGER(kGeneral, muxStopTime);
    ZARVO_INTEGER(kGeneral, maxFileSize);
    ZARVO_FLAG(kGeneral, resetClocks);
    ZARVO_FLAG(kGeneral, setBrokenLink);
    ZARVO_FLAG(kGeneral, writeEndCodes);

    ZARVO_INTEGER(kVideo, videoType);
    ZARVO_INTEGER(kVideo, videoPulldownFlag);
    ZARVO_INTEGER(kVideo, profile);
    ZARVO_INTEGER(kVideo, level);
    ZARVO_INTEGER(kVideo, chromaFormat);
    ZARVO_INTEGER(kVideo, aspectRatio);
    ZARVO_INTEGER(kVideo, frameRateCode);
    ZARVO_INTEGER(kVideo, iFramesInGOP);
    ZARVO_INTEGER(kVideo, ipFrameDistance);
    ZARVO_FLAG(kVideo, autoBitrate);
    ZARVO_FLAG(kVideo, constBitrateFlag);
    ZARVO_INTEGER(kVideo, mquantValue);
    ZARVO_BITRATE(kVideo, constBitrate);
    ZARVO_BITRATE(kVideo, maxBitrate);
    ZARVO_BITRATE(kVideo, avgBitrate);
    ZARVO_BITRATE(kVideo, minBitrate);
    ZARVO_INTEGER(kVideo, firstFrameHours);
    ZARVO_INTEGER(kVideo, firstFrameMinutes);
    ZARVO_INTEGER(kVideo, firstFrameSeconds);
    ZARVO_INTEGER(kVideo, firstFrameFrame);

    // The four header bits have a validation rule of their own (0 or 1), so
    // they are read as they stand rather than as flags.
    ZARVO_INTEGER(kAudio, audioLayer);
    ZARVO_INTEGER(kAudio, audioMode);
    ZARVO_INTEGER(kAudio, deEmphasis);
    ZARVO_INTEGER(kAudio, audioBitrate);
    ZARVO_INTEGER(kAudio, privateBit);
    ZARVO_INTEGER(kAudio, copyrightBit);
    ZARVO_INTEGER(kAudio, originalBit);
    ZARVO_INTEGER(kAudio, errorProtection);
    ZARVO_INTEGER(kAudio, psychModel);

    ZARVO_INTEGER(kProgram, programStreamType);
    ZARVO_FLAG(kProgram, vbrMultiplex);
    ZARVO_FLAG(kProgram, padVCDAudio);
    ZARVO_FLAG(kProgram, writeProgramEndCode);
    ZARVO_FLAG(kProgram, muxSVCDScanOffsets);
    ZARVO_FLAG(kProgram, alignSequenceHeaders);
    ZARVO_FLAG(kProgram, usePrivateStream2);
    ZARVO_INTEGER(kProgram, useComputedBitrate);
    ZARVO_INTEGER(kProgram, frameTimestamps);
    ZARVO_INTEGER(kProgram, muxPulldownFlag);
    ZARVO_INTEGER(kProgram, userMuxRate);
    ZARVO_INTEGER(kProgram, sectorSize);
    ZARVO_INTEGER(kProgram, packetsPerPack);
    ZARVO_INTEGER(kProgram, videoBufferSize);
    ZARVO_INTEGER(kProgram, audioBufferSize);
    ZARVO_INTEGER(kProgram, audio1BufferSize);
    ZARVO_INTEGER(kProgram, sectorDelay);
    ZARVO_INTEGER(kProgram, videoDelay);
    ZARVO_INTEGER(kProgram, audioDelay);
    ZARVO_INTEGER(kProgram, audio1Delay);
    ZARVO_FLAG(kProgram, alwaysWriteSysHeader);

    ZARVO_INTEGER(kAdvVideo, colorPrimaries);
    ZARVO_INTEGER(kAdvVideo, transferCharacteristics);
    ZARVO_INTEGER(kAdvVideo, matrixCoefficients);
    ZARVO_INTEGER(kAdvVideo, videoFormat);
    ZARVO_INTEGER(kAdvVideo, intraDCPrec);
    ZARVO_INTEGER(kAdvVideo, variableMaxMotion);
    ZARVO_INTEGER(kAdvVideo, vbvBufferSize);
    ZARVO_FLAG(kAdvVideo, forceVBVDelay);
    ZARVO_INTEGER(kAdvVideo, displayHorizontalSize);
    ZARVO_INTEGER(kAdvVideo, displayVerticalSize);
    ZARVO_FLAG(kAdvVideo, progressiveSequence);
    ZARVO_FLAG(kAdvVideo, progressiveFrame);
    ZARVO_FLAG(kAdvVideo, fieldPictures);
    ZARVO_FLAG(kAdvVideo, topFieldFirst);
    ZARVO_FLAG(kAdvVideo, repeatFirstField);
    ZARVO_FLAG(kAdvVideo, intraVLCFormatI);
    ZARVO_FLAG(kAdvVideo, intraVLCFormatP);
    ZARVO_FLAG(kAdvVideo, intraVLCFormatB);
    ZARVO_FLAG(kAdvVideo, framePredDCTI);
    ZARVO_FLAG(kAdvVideo, framePredDCTP);
    ZARVO_FLAG(kAdvVideo, framePredDCTB);
    ZARVO_FLAG(kAdvVideo, quantizationScaleI);
    ZARVO_FLAG(kAdvVideo, quantizationScaleP);
    ZARVO_FLAG(kAdvVideo, quantizationScaleB);
    ZARVO_FLAG(kAdvVideo, alternateScanI);
    ZARVO_FLAG(kAdvVideo, alternateScanP);
    ZARVO_FLAG(kAdvVideo, alternateScanB);
    ZARVO_FLAG(kAdvVideo, writeSequenceDisplayExt);
    ZARVO_FLAG(kAdvVideo, writeSequenceEndCode);
    ZARVO_FLAG(kAdvVideo, embedSVCDUserBlocks);
    ZARVO_FLAG(kAdvVideo, writePictureDisplayExt);
    ZARVO_INTEGER(kAdvVideo, frameCentreHorizontalOffset);
    ZARVO_INTEGER(kAdvVideo, frameCentreVerticalOffset);
    ZARVO_FLAG(kAdvVideo, sliceHdrEveryMBrow);
    ZARVO_INTEGER(kAdvVideo, reactionParameter);
    ZARVO_INTEGER(kAdvVideo, initialAverageActivity);
    ZARVO_INTEGER(kAdvVideo, initialIComplexity);
    ZARVO_INTEGER(kAdvVideo, initialPComplexity);
    ZARVO_INTEGER(kAdvVideo, initialBComplexity);
    ZARVO_INTEGER(kAdvVideo, initialIFullness);
    ZARVO_INTEGER(kAdvVideo, initialPFullness);
    ZARVO_INTEGER(kAdvVideo, initialBFullness);
    ZARVO_INTEGER(kAdvVideo, minFramePercentage);
    ZARVO_INTEGER(kAdvVideo, padFramePercentage);
    ZARVO_FLAG(kAdvVideo, resetPBIVBF);
    ZARVO_FLAG(kAdvVideo, autoVectorLengths);
    ZARVO_INTEGER(kAdvVideo, horzPelMovement);
    ZARVO_INTEGER(kAdvVideo, vertPelMovement);

    MotionRecord& p = s.motion[0];
    keys.Integer(kAdvVideo, "forwHorzFCodeP", p.forwHorzFCode);
    keys.Integer(kAdvVideo, "forwVertFCodeP", p.forwVertFCode);
    keys.Integer(kAdvVideo, "forwHorzSearchP", p.forwHorzSearch);
    keys.Integer(kAdvVideo, "forwVertSearchP", p.forwVertSearch);
    for (int d = 1; d < kMotionRecords; ++d) {
        MotionRecord& b = s.motion[d];
        const std::string distance = std::to_string(d);
        keys.Integer(kAdvVideo, "forwHorzFCodeB" + distance, b.forwHorzFCode);
        keys.Integer(kAdvVideo, "forwVertFCodeB" + distance, b.forwVertFCode);
        keys.Integer(kAdvVideo, "forwHorzSearchB" + distance, b.forwHorzSearch);
        keys.Integer(kAdvVideo, "forwVertSearchB" + distance, b.forwVertSearch);
        keys.Integer(kAdvVideo, "backHorzFCodeB" + distance, b.backHorzFCode);
        keys.Integer(kAdvVideo, "backVertFCodeB" + distance, b.backVertFCode);
        keys.Integer(kAdvVideo, "backHorzSearchB" + distance, b.backHorzSearch);
        keys.Integer(kAdvVideo, "backVertSearchB" + distance, b.backVertSearch);
    }
    return keys.Take();
}

#undef ZARVO_INTEGER
#undef ZARVO_FLAG
#undef ZARVO_BITRATE
#undef ZARVO_TEXT

}  // namespace korvan
