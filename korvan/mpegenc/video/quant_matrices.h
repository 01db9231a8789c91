// The quantiser matrices of a sequence: the standard intra matrix or a user
// file, and for non-intra blocks Test Model 5's matrix (name empty), the
// standard's flat matrix ("mpeg default") or a user file.
#pragma once

#include <string>

#include "korvan/base/status.h"
#include "korvan/mpegenc/common/quantise.h"

namespace korvan {

struct SequenceMatrices {
    QuantiserMatrix intra;
    QuantiserMatrix nonIntra;
    bool loadIntra = false;     // transmitted in the sequence header
    bool loadNonIntra = false;  // transmitted in the sequence header
};

Status LoadSequenceMatrices(const std::string& intraName, const std::string& nonIntraName,
                            SequenceMatrices& matrices);

// Reads 64 whitespace-separated decimal values 1..255 in raster order.
enum class MatrixFileStatus { kOk, kCannotOpen, kInvalid };
MatrixFileStatus ReadMatrixFile(const std::string& path, Matrix64& matrix);

}  // namespace korvan
