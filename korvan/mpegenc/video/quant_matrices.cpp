#include "korvan/mpegenc/video/quant_matrices.h"

#include <cctype>
#include <cstdio>
#include <memory>

#include "korvan/mpegenc/common/format_text.h"

namespace korvan {

MatrixFileStatus ReadMatrixFile(const std::string& path, Matrix64& matrix) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return MatrixFileStatus::kCannotOpen;
    int count = 0;
    int c = std::fgetc(file.get());
    while (count < 64) {
        while (c != EOF && std::isspace(c)) c = std::fgetc(file.get());
        if (c == EOF || !std::isdigit(c)) return MatrixFileStatus::kInvalid;
        int value = 0;
        while (c != EOF && std::isdigit(c)) {
            value = value * 10 + (c - '0');
            if (value > 255) return MatrixFileStatus::kInvalid;
            c = std::fgetc(file.get());
        }
        if (c != EOF && !std::isspace(c)) return MatrixFileStatus::kInvalid;
        if (value < 1) return MatrixFileStatus::kInvalid;
        matrix[count++] = static_cast<uint8_t>(value);
    }
    return MatrixFileStatus::kOk;
}

Status LoadSequenceMatrices(const std::string& intraName, const std::string& nonIntraName,
                            SequenceMatrices& matrices) {
    Matrix64 intra = kDefaultIntraMatrix;
    matrices.loadIntra = !intraName.empty();
    if (matrices.loadIntra) {
        switch (ReadMatrixFile(intraName, intra)) {
            case MatrixFileStatus::kCannotOpen:
                return Status::Failed(
                    StatusCode::kMatrixFile,
                    FormatText("Could not open intra quant matrix file %s.", intraName.c_str()));
            case MatrixFileStatus::kInvalid:
                return Status::Failed(
                    StatusCode::kMatrixFile,
                    FormatText("Invalid value in intra quant matrix file %s.", intraName.c_str()));
            case MatrixFileStatus::kOk:
                break;
        }
    }
    Matrix64 nonIntra = kTm5NonIntraMatrix;
    matrices.loadNonIntra = true;
    if (nonIntraName == "mpeg default") {
        nonIntra = kFlatNonIntraMatrix;
        matrices.loadNonIntra = false;
    } else if (!nonIntraName.empty()) {
        switch (ReadMatrixFile(nonIntraName, nonIntra)) {
            case MatrixFileStatus::kCannotOpen:
                return Status::Failed(StatusCode::kMatrixFile,
                                      FormatText("Could not open non-intra quant matrix file %s.",
                                                 nonIntraName.c_str()));
            case MatrixFileStatus::kInvalid:
                return Status::Failed(StatusCode::kMatrixFile,
                                      FormatText("Invalid value in non-intra quant matrix file %s.",
                                                 nonIntraName.c_str()));
            case MatrixFileStatus::kOk:
                break;
        }
    }
    matrices.intra = MakeQuantiserMatrix(intra);
    matrices.nonIntra = MakeQuantiserMatrix(nonIntra);
    return {};
}

}  // namespace korvan
