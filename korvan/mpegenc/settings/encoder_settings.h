// The one record that governs an MPEG encode: which streams to make, the
// video syntax, motion search geometry, rate control constants, the audio
// layer choices and the program stream's pack geometry. Field names are the
// keys of the settings file; each group is one section of it. Switches are
// integers 0 or 1 (loading turns any other number a file holds into 1, except
// the four audio header bits, which validation refuses instead).
#pragma once

#include <array>
#include <cstring>
#include <string_view>

namespace korvan {

// Text values are fixed buffers of this many characters in settings files.
inline constexpr int kSettingsTextChars = 260;

// videoType
enum VideoType : int {
    kVideoMpeg1 = 0,
    kVideoVcd = 1,
    kVideoMpeg2 = 2,
    kVideoSvcd = 3,
    kVideoDvd = 4,
};

// programStreamType
enum ProgramStreamType : int {
    kStreamMpeg1 = 0,
    kStreamVcd = 1,
    kStreamMpeg2 = 2,
    kStreamSvcd = 3,
    kStreamDvd = 4,
};

// profile and level of profile_and_level_indication
enum MpegProfile : int { kProfileHigh = 1, kProfileMain = 4, kProfileSimple = 5 };
enum MpegLevel : int { kLevelHigh = 4, kLevelHigh1440 = 6, kLevelMain = 8, kLevelLow = 10 };

// One record of the motion geometry: f-codes and search windows (pels),
// forward then backward. Record 0 serves P pictures (forward half only),
// record d (1..15) the B picture at distance d from the previous reference.
struct MotionRecord {
    int forwHorzFCode = 1;
    int forwVertFCode = 1;
    int forwHorzSearch = 0;
    int forwVertSearch = 0;
    int backHorzFCode = 1;
    int backVertFCode = 1;
    int backHorzSearch = 0;
    int backVertSearch = 0;

    bool operator==(const MotionRecord&) const = default;
};

inline constexpr int kMotionRecords = 16;

struct EncoderSettings {
    // [loadsave]
    char description[kSettingsTextChars] = {};

    // [iofiles]
    int saveTempVideo = 1;
    int saveTempAudio = 1;
    char intraQuantMatrix[kSettingsTextChars] = {};
    char nonIntraQuantMatrix[kSettingsTextChars] = {};
    char statisticsFilename[kSettingsTextChars] = {};

    // [general]
    int useFloatingPoint = 0;
    int verbose = 0;
    int blackAndWhite = 0;
    int userEncodeVideo = 1;
    int userEncodeAudio = 1;
    int multiplexVideo = 1;
    int multiplexAudio = 1;
    int muxStartTime = 0;  // seconds
    int muxStopTime = 0;   // seconds
    int maxFileSize = 0;   // MiB
    int resetClocks = 1;
    int setBrokenLink = 1;
    int writeEndCodes = 1;

    // [video]
    int videoType = kVideoMpeg1;
    int videoPulldownFlag = 0;
    int profile = kProfileMain;
    int level = kLevelMain;
    int chromaFormat = 1;  // 1 4:2:0, 2 4:2:2, 3 4:4:4
    int aspectRatio = 8;
    int frameRateCode = 3;
    int iFramesInGOP = 15;    // N
    int ipFrameDistance = 3;  // M
    int autoBitrate = 0;
    int constBitrateFlag = 0;
    int mquantValue = 4;
    double constBitrate = 1800000;  // bit/s
    double maxBitrate = 0;          // bit/s
    double avgBitrate = 0;          // bit/s
    double minBitrate = 0;          // bit/s
    int firstFrameHours = 0;
    int firstFrameMinutes = 0;
    int firstFrameSeconds = 0;
    int firstFrameFrame = 0;

    // [audio]
    int audioLayer = 2;
    int audioMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int deEmphasis = 0;
    int audioBitrate = 11;  // bitrate index
    int privateBit = 0;
    int copyrightBit = 0;
    int originalBit = 0;
    int errorProtection = 0;
    int psychModel = 2;

    // [program]
    int programStreamType = kStreamMpeg1;
    int vbrMultiplex = 1;
    int padVCDAudio = 0;
    int writeProgramEndCode = 1;
    int muxSVCDScanOffsets = 0;
    int alignSequenceHeaders = 0;
    int usePrivateStream2 = 0;
    int useComputedBitrate = 2;
    int frameTimestamps = 0;
    int muxPulldownFlag = 0;
    int userMuxRate = 0;  // units of 50 bytes/s
    int sectorSize = 2048;
    int packetsPerPack = 1;
    int videoBufferSize = 46;  // KB
    int audioBufferSize = 4;   // KB
    int audio1BufferSize = 4;  // KB
    int sectorDelay = 0;       // ms
    int videoDelay = 180;      // ms
    int audioDelay = 180;      // ms
    int audio1Delay = 180;     // ms
    int alwaysWriteSysHeader = 0;

    // [advVideo]
    int colorPrimaries = 5;
    int transferCharacteristics = 5;
    int matrixCoefficients = 5;
    int videoFormat = 1;
    int intraDCPrec = 0;
    int variableMaxMotion = 58;
    int vbvBufferSize = 23;  // units of 16 384 bits
    int forceVBVDelay = 0;
    int displayHorizontalSize = 352;
    int displayVerticalSize = 288;
    int progressiveSequence = 1;
    int progressiveFrame = 1;
    int fieldPictures = 0;
    int topFieldFirst = 0;
    int repeatFirstField = 0;
    int intraVLCFormatI = 0;
    int intraVLCFormatP = 0;
    int intraVLCFormatB = 0;
    int framePredDCTI = 1;
    int framePredDCTP = 1;
    int framePredDCTB = 1;
    int quantizationScaleI = 0;
    int quantizationScaleP = 0;
    int quantizationScaleB = 0;
    int alternateScanI = 0;
    int alternateScanP = 0;
    int alternateScanB = 0;
    int writeSequenceDisplayExt = 1;
    int writeSequenceEndCode = 1;
    int embedSVCDUserBlocks = 0;
    int writePictureDisplayExt = 0;
    int frameCentreHorizontalOffset = 0;
    int frameCentreVerticalOffset = 0;
    int sliceHdrEveryMBrow = 0;
    int reactionParameter = 0;
    int initialAverageActivity = 0;
    int initialIComplexity = 0;
    int initialPComplexity = 0;
    int initialBComplexity = 0;
    int initialIFullness = 0;
    int initialPFullness = 0;
    int initialBFullness = 0;
    int minFramePercentage = 25;
    int padFramePercentage = 90;
    int resetPBIVBF = 1;
    int autoVectorLengths = 1;
    int horzPelMovement = 3;
    int vertPelMovement = 3;
    std::array<MotionRecord, kMotionRecords> motion{};

    // Fields without a key.
    int constrainedParameters = 0;     // MPEG-1 constrained_parameters_flag
    double frameRate = 25.0;           // always derived from frameRateCode
    long long firstFramePictures = 0;  // the first-frame time code as a picture count
    // The input's picture size in pels, set by the encode from its input;
    // 0 while no input is known (the size rules then have nothing to check).
    int horizontalSize = 0;
    int verticalSize = 0;

    bool IsMpeg2() const { return videoType > kVideoVcd; }

    bool operator==(const EncoderSettings&) const = default;
};

// The text of a text field (its buffer always holds a terminating zero).
inline std::string_view SettingsText(const char (&buffer)[kSettingsTextChars]) {
    return std::string_view(buffer, strnlen(buffer, kSettingsTextChars));
}

// Stores `text` cut to the buffer; the rest of the buffer is zeroed so that
// two records with the same texts compare equal.
inline void SetSettingsText(char (&buffer)[kSettingsTextChars], std::string_view text) {
    const std::size_t length =
        text.size() < kSettingsTextChars ? text.size() : kSettingsTextChars - 1;
    std::memset(buffer, 0, kSettingsTextChars);
    std::memcpy(buffer, text.data(), length);
}

}  // namespace korvan
