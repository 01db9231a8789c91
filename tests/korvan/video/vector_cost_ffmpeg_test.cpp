// The fine search's half-sample step with and without the vector's bits, on
// a grainy picture that ffmpeg moved by half a sample: fresh grain on every
// picture makes the sums of the half-sample positions around the true move
// nearly equal, so the sum alone scatters the vectors.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "korvan/mpegenc/common/video_kernels.h"
#include "korvan/mpegenc/video/motion_search.h"
#include "tests/korvan/video/ffmpeg_client.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kWidth = 352;
constexpr int kHeight = 288;
constexpr int kSadPerBit = 8;

// A fractal panned one sample right and half a sample down per picture at
// twice the size, scaled down, with grain of its own on every picture.
bool MakeGrainyHalfSamplePan(const std::string& path) {
    const std::string graph =
        "mandelbrot=s=768x640:rate=25,trim=end_frame=1,loop=loop=-1:size=1,setpts=N/25/TB,"
        "crop=704:576:x='2*n':y='n',scale=352:288:flags=bicubic,noise=alls=14:allf=t,"
        "format=yuv420p";
    return test::RunCommand("ffmpeg -v error -y -f lavfi -i \"" + graph +
                            "\" -frames:v 3 -f yuv4mpegpipe " + test::ShellQuote(path)) == 0;
}

void CopyLuma(const test::Picture& picture, korvan::YuvFrame& frame) {
    for (int y = 0; y < kHeight; ++y)
        std::memcpy(frame.luma().Row(y), picture.data() + static_cast<size_t>(y) * kWidth, kWidth);
}

struct FieldTotals {
    long long sad = 0;
    long long bits = 0;  // each vector against its left neighbour's, as a decoder predicts it
};

// Every macroblock searched in raster order from the zero vector and its
// left neighbour's vector, with or without the vector's bits.
FieldTotals SearchPicture(const korvan::MotionSearcher& searcher, const korvan::YuvFrame& current,
                          const korvan::YuvFrame& reference, bool weighBits) {
    FieldTotals totals;
    for (int mbY = 0; mbY < kHeight / 16; ++mbY) {
        korvan::MotionVector left;
        for (int mbX = 0; mbX < kWidth / 16; ++mbX) {
            const korvan::MotionVector starts[] = {{}, {left.x >> 1, left.y >> 1}};
            const korvan::VectorCost cost{left, kSadPerBit};
            const korvan::SearchResult r = searcher.FineSearch(
                current.luma(), reference.luma(), mbX, mbY, starts, 2, 4,
                searcher.ClipWindow(mbX, mbY, 62, 62), weighBits ? &cost : nullptr);
            totals.sad += r.sad;
            totals.bits += korvan::VectorCost::Bits(r.vector, left);
            left = r.vector;
        }
    }
    return totals;
}

TEST(VectorCostFfmpegTest, WeighingTheBitsMakesGrainyVectorsCheaperForLittleMatch) {
    test::TempDir dir{"zarvo vecteurs"};
    const std::string clip = dir / "grainy pan.y4m";
    ASSERT_TRUE(MakeGrainyHalfSamplePan(clip));
    const std::vector<test::Picture> pictures = test::ReadY4mPictures(clip);
    ASSERT_EQ(pictures.size(), 3u);

    const korvan::CodingGeometry geometry = korvan::MakeCodingGeometry(kWidth, kHeight, 1, false);
    korvan::YuvFrame frames[3];
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(frames[i].Allocate(geometry));
        CopyLuma(pictures[i], frames[i]);
    }
    // Half a sample apart and one sample apart, as neighbouring pictures and
    // a B picture from its reference are.
    for (int distance = 1; distance <= 2; ++distance) {
        // The plain kernels and the processor's: the same vectors from both.
        FieldTotals previous;
        for (const korvan::CpuFlags flags : {korvan::CpuFlags::kNone, korvan::DetectCpuFlags()}) {
            const bool plainKernels = flags == korvan::CpuFlags::kNone;
            const korvan::VideoKernels* kernels =
                &korvan::SelectVideoKernels(flags, korvan::DctArithmetic::kInteger);
            const korvan::MotionSearcher searcher(*kernels, geometry);
            const FieldTotals plain = SearchPicture(searcher, frames[distance], frames[0], false);
            const FieldTotals weighed = SearchPicture(searcher, frames[distance], frames[0], true);
            SCOPED_TRACE("distance " + std::to_string(distance) +
                         (plainKernels ? ", plain" : ", the processor's"));
            if (!plainKernels) {
                EXPECT_EQ(weighed.sad, previous.sad);
                EXPECT_EQ(weighed.bits, previous.bits);
            }
            previous = weighed;
            // The vectors cost fewer bits ...
            EXPECT_LT(weighed.bits * 100, plain.bits * 98)
                << "bits " << weighed.bits << " against " << plain.bits;
            // ... the match is nearly as good ...
            EXPECT_LE(weighed.sad * 1000, plain.sad * 1002)
                << "sum " << weighed.sad << " against " << plain.sad;
            // ... and what was weighed, the sum plus the bits, fell.
            EXPECT_LT(weighed.sad + kSadPerBit * weighed.bits, plain.sad + kSadPerBit * plain.bits);
        }
    }
}

}  // namespace
