// The encoder's working copy of the settings: everything the video coder
// needs, derived once from EncoderSettings before an encode and never read
// from the record again while coding.
#pragma once

#include <array>
#include <cstdint>

#include "korvan/base/status.h"
#include "korvan/mpegenc/common/quantise.h"
#include "korvan/mpegenc/common/vlc_tables.h"
#include "korvan/mpegenc/settings/encoder_settings.h"
#include "korvan/mpegenc/video/quant_matrices.h"
#include "korvan/mpegenc/video/yuv_frame.h"

namespace korvan {

// Choices that differ per picture type, indexed by PictureCodingType - 1.
struct PictureTypeChoices {
    bool framePredFrameDct = true;
    bool nonLinearScale = false;  // q_scale_type
    bool intraVlcFormat = false;
    bool alternateScan = false;
};

enum class RateMode {
    kFixedQuantiser,   // "mquantValue" for every macroblock
    kConstantBitrate,  // Test Model 5 with the VBV model
    kBoundedVariable,  // a quantiser per GOP, GOPs outside the bounds coded again
};

// The rate-control constants; 0 in a start value means "derive it".
struct RateParameters {
    RateMode mode = RateMode::kFixedQuantiser;
    double bitRate = 0;  // bit/s, constant bitrate
    double maxBitrate = 0;
    double avgBitrate = 0;
    double minBitrate = 0;
    int mquantValue = 4;  // quantiser_scale_code of the fixed modes
    int reactionParameter = 0;
    int initialAverageActivity = 0;
    int initialComplexity[3] = {};  // I, P, B
    int initialFullness[3] = {};    // I, P, B
    bool resetPBIVBF = true;
};

struct CodingParameters {
    MpegSyntax syntax = MpegSyntax::kMpeg1;
    CodingGeometry geometry;
    int gopSize = 15;           // N
    int referenceDistance = 3;  // M

    // Sequence header and extensions.
    int aspectRatio = 8;
    int frameRateCode = 3;  // as written into the sequence header
    double frameRate = 25.0;
    uint32_t bitRateValue = 0;  // units of 400 bit/s; 0 = filled in after encoding
    int vbvBufferSize = 20;     // units of 16 384 bits
    bool constrainedParameters = false;
    int profileAndLevel = 0x48;
    bool progressiveSequence = true;
    bool writeSequenceDisplayExt = false;
    int videoFormat = 1;
    int colourPrimaries = 5;
    int transferCharacteristics = 5;
    int matrixCoefficients = 5;
    int displayWidth = 0;
    int displayHeight = 0;
    SequenceMatrices matrices;

    // Picture level.
    int intraDcPrecision = 0;
    bool topFieldFirst = false;
    bool repeatFirstField = false;
    bool progressiveFrame = true;
    bool fieldPictures = false;  // each frame coded as two field pictures
    bool writePictureDisplayExt = false;
    int frameCentreHorizontalOffset = 0;
    int frameCentreVerticalOffset = 0;
    std::array<PictureTypeChoices, 3> perType{};
    bool forceVbvDelay = true;
    RateParameters rate;

    // Slices and stream.
    bool sliceEveryRow = false;
    bool embedSvcdUserData = false;
    bool writeSequenceEndCode = true;

    // Time codes.
    long long firstFramePictures = 0;
    int pulldown = 0;

    // Motion search.
    int variableMaxMotion = 58;
    std::array<MotionRecord, kMotionRecords> motion{};
    int maxHorizontalFCode = 7;
    int maxVerticalFCode = 7;

    bool floatingPointDct = false;

    const PictureTypeChoices& Choices(PictureCodingType type) const { return perType[type - 1]; }
    bool IsMpeg2() const { return syntax == MpegSyntax::kMpeg2; }
};

// Derives the working parameters for a `width` x `height` source. Checks the
// few things the coder relies on (sizes, GOP, chroma format, quantiser) and
// loads the quantiser matrix files.
Status DeriveCodingParameters(const EncoderSettings& settings, int width, int height,
                              CodingParameters& parameters);

}  // namespace korvan
