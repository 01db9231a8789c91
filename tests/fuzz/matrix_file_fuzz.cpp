// A quantiser matrix file of any content: 64 values of 1..255 or a refusal.
#include "korvan/mpegenc/video/quant_matrices.h"
#include "tests/fuzz/fuzz_input.h"

void FuzzInput(const uint8_t* data, size_t size) {
    const fuzz::MemoryFile file(data, size);
    korvan::Matrix64 matrix{};
    if (korvan::ReadMatrixFile(file.Path(), matrix) != korvan::MatrixFileStatus::kOk) return;
    for (uint8_t value : matrix) FUZZ_CHECK(value >= 1);
    korvan::SequenceMatrices matrices;
    FUZZ_CHECK(korvan::LoadSequenceMatrices(file.Path(), file.Path(), matrices).IsOk());
}
