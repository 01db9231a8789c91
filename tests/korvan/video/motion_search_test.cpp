#include "korvan/mpegenc/video/motion_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "korvan/mpegenc/settings/encoder_presets.h"
#include "korvan/mpegenc/video/mode_decision.h"
#include "korvan/mpegenc/video/motion_field.h"

namespace {

// A textured picture and the same picture moved by (dx, dy) pels.
struct MovedPictures {
    korvan::CodingGeometry geometry = korvan::MakeCodingGeometry(320, 240, 1, false);
    korvan::YuvFrame reference;
    korvan::YuvFrame current;

    MovedPictures(int dx, int dy) {
        reference.Allocate(geometry);
        current.Allocate(geometry);
        // Noise smoothed over about ten pels, contrast stretched: detail at
        // the scale of the coarse search, without repeats that would give
        // a search several equally good answers.
        std::mt19937 random(9);
        std::uniform_int_distribution<int> noise(0, 255);
        const int w = geometry.lumaWidth;
        const int h = geometry.lumaHeight;
        std::vector<double> field(static_cast<size_t>(w) * h);
        for (double& v : field) v = noise(random);
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<double> blurred(field.size());
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    double sum = 0;
                    for (int k = -5; k <= 5; ++k) {
                        sum += pass == 0 ? field[y * w + std::clamp(x + k, 0, w - 1)]
                                         : field[std::clamp(y + k, 0, h - 1) * w + x];
                    }
                    blurred[y * w + x] = sum / 11;
                }
            }
            field.swap(blurred);
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const double v = 128 + (field[y * w + x] - 128) * 8;
                reference.luma().Row(y)[x] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
            }
        }
        for (int y = 0; y < geometry.lumaHeight; ++y) {
            for (int x = 0; x < geometry.lumaWidth; ++x) {
                const int sx = std::clamp(x + dx, 0, geometry.lumaWidth - 1);
                const int sy = std::clamp(y + dy, 0, geometry.lumaHeight - 1);
                current.luma().Row(y)[x] = reference.luma().Row(sy)[sx];
            }
        }
    }
};

TEST(MotionSearchTest, CoarseAndFineStagesFindAWholePelMove) {
    MovedPictures pictures(13, -6);
    korvan::SubsampledPicture current;
    korvan::SubsampledPicture reference;
    ASSERT_TRUE(current.Allocate(pictures.geometry));
    ASSERT_TRUE(reference.Allocate(pictures.geometry));
    current.Build(pictures.current.luma(),
                  korvan::PlainVideoKernels(korvan::DctArithmetic::kInteger));
    reference.Build(pictures.reference.luma(),
                    korvan::PlainVideoKernels(korvan::DctArithmetic::kInteger));
    EXPECT_FALSE(current.IsFlat());

    const korvan::VideoKernels& kernels =
        korvan::PlainVideoKernels(korvan::DctArithmetic::kInteger);
    korvan::MotionSearcher searcher(kernels, pictures.geometry);
    const korvan::MotionVector coarse = searcher.CoarseSearch(current, reference, 8, 6, 7, 7, 2);
    EXPECT_EQ(coarse.x % 4, 0);
    EXPECT_LE(std::abs(coarse.x - 13), 4);
    EXPECT_LE(std::abs(coarse.y + 6), 4);
    const korvan::SearchResult fine =
        searcher.FineSearch(pictures.current.luma(), pictures.reference.luma(), 8, 6, &coarse, 1, 4,
                            searcher.ClipWindow(8, 6, 62, 62));
    EXPECT_EQ(fine.vector, (korvan::MotionVector{26, -12}));  // half samples
    EXPECT_EQ(fine.sad, 0);
}

TEST(MotionSearchTest, WindowsStayInsideThePicture) {
    MovedPictures pictures(0, 0);
    korvan::MotionSearcher searcher(korvan::PlainVideoKernels(korvan::DctArithmetic::kInteger),
                                    pictures.geometry);
    const korvan::SearchWindow corner = searcher.ClipWindow(0, 0, 9, 9);
    EXPECT_EQ(corner.left, 0);
    EXPECT_EQ(corner.up, 0);
    EXPECT_EQ(corner.right, 9);
    const korvan::SearchWindow far = searcher.ClipWindow(19, 14, 9, 9);
    EXPECT_EQ(far.right, 0);
    EXPECT_EQ(far.down, 0);
    EXPECT_EQ(far.left, -9);
    // A search at the corner never reaches outside, even at half samples.
    const korvan::MotionVector outside{5, 5};
    const korvan::SearchResult r = searcher.FineSearch(
        pictures.current.luma(), pictures.reference.luma(), 19, 14, &outside, 1, 4, far);
    EXPECT_LE(r.vector.x, 0);
    EXPECT_LE(r.vector.y, 0);
}

TEST(MotionSearchTest, TheFineStageStartsFromTheBestStartingPoint) {
    MovedPictures pictures(-17, 9);
    korvan::MotionSearcher searcher(korvan::PlainVideoKernels(korvan::DctArithmetic::kInteger),
                                    pictures.geometry);
    // A wrong coarse guess, the zero vector, and a neighbour's vector near
    // the true move.
    const korvan::MotionVector starts[] = {{20, -20}, {0, 0}, {-15, 8}};
    const korvan::SearchResult r =
        searcher.FineSearch(pictures.current.luma(), pictures.reference.luma(), 8, 6, starts, 3, 4,
                            searcher.ClipWindow(8, 6, 62, 62));
    EXPECT_EQ(r.vector, (korvan::MotionVector{-34, 18}));
    EXPECT_EQ(r.sad, 0);
}

TEST(MotionSearchTest, MotionThatGrowsAcrossThePictureIsFollowedBeyondTheCoarseReach) {
    // Column c of macroblocks moved 5c pels to the left since the
    // reference, as a turn or a zoom does: more than the fine stage's four
    // pels from the neighbour's vector, and from column 7 on (35 pels)
    // beyond the coarse stage's 28. Only the vectors carried on from the
    // neighbours reach them.
    MovedPictures pictures(0, 0);
    const korvan::CodingGeometry& g = pictures.geometry;
    korvan::CodingParameters p;
    ASSERT_TRUE(korvan::DeriveCodingParameters(
                    korvan::PresetSettings(korvan::EncoderPreset::kDvd, korvan::TvSystem::kPal),
                    g.lumaWidth, g.lumaHeight, p)
                    .IsOk());
    // Interlaced DVD pictures are sized to whole macroblock pairs; these
    // pictures are progressive.
    p.geometry = g;
    constexpr int kStep = 5;
    korvan::SourcePicture reference;
    korvan::SourcePicture current;
    for (korvan::SourcePicture* s : {&reference, &current}) {
        ASSERT_TRUE(s->frame.Allocate(g));
        ASSERT_TRUE(s->reduced.Allocate(g));
    }
    for (int y = 0; y < g.lumaHeight; ++y) {
        std::memcpy(reference.frame.luma().Row(y), pictures.reference.luma().Row(y),
                    static_cast<size_t>(g.lumaWidth));
        for (int x = 0; x < g.lumaWidth; ++x) {
            const int from = std::min(x + kStep * (x / 16), g.lumaWidth - 1);
            current.frame.luma().Row(y)[x] = pictures.reference.luma().Row(y)[from];
        }
    }
    const korvan::VideoKernels& kernels =
        korvan::PlainVideoKernels(korvan::DctArithmetic::kInteger);
    reference.reduced.Build(reference.frame.luma(), kernels);
    current.reduced.Build(current.frame.luma(), kernels);

    korvan::MotionSearcher searcher(kernels, g);
    korvan::MotionField field;
    ASSERT_TRUE(field.Allocate(g));
    korvan::PlannedPicture plan;
    plan.type = korvan::kPictureP;
    plan.forwardDistance = 3;
    const korvan::SourcePicture* const references[2] = {&reference, nullptr};
    field.Search(searcher, p, plan, current, references);
    // Columns whose match lies inside the picture and the window (60 pels).
    int beyondCoarseReach = 0;
    for (int mbY = 0; mbY < g.mbHeight; ++mbY) {
        for (int c = 0; 16 * c + 15 + kStep * c < g.lumaWidth && kStep * c <= 60; ++c) {
            const korvan::SearchResult& r = field.At(0, mbY * g.mbWidth + c);
            EXPECT_EQ(r.sad, 0) << "column " << c << " row " << mbY;
            EXPECT_EQ(r.vector, (korvan::MotionVector{2 * kStep * c, 0}))
                << "column " << c << " row " << mbY;
            if (kStep * c > 32) ++beyondCoarseReach;
        }
    }
    EXPECT_GE(beyondCoarseReach, 5 * g.mbHeight);
}

TEST(MotionSearchTest, FlatPicturesAreRecognised) {
    korvan::CodingGeometry g = korvan::MakeCodingGeometry(64, 64, 1, false);
    korvan::YuvFrame grey;
    grey.Allocate(g);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) grey.luma().Row(y)[x] = static_cast<uint8_t>(128 + (x % 3));
    }
    korvan::SubsampledPicture s;
    s.Allocate(g);
    s.Build(grey.luma(), korvan::PlainVideoKernels(korvan::DctArithmetic::kInteger));
    EXPECT_TRUE(s.IsFlat());
}

TEST(MotionSearchTest, InterlacedFramesAreReducedPerField) {
    // Top field 0, bottom field 200: per field the reduced rows alternate,
    // over the frame they average.
    korvan::CodingGeometry g = korvan::MakeCodingGeometry(64, 64, 1, true);
    korvan::YuvFrame frame;
    frame.Allocate(g);
    for (int y = 0; y < 64; ++y) std::memset(frame.luma().Row(y), (y & 1) ? 200 : 0, 64);
    const korvan::VideoKernels& kernels =
        korvan::PlainVideoKernels(korvan::DctArithmetic::kInteger);
    korvan::SubsampledPicture s;
    s.Allocate(g);
    s.Build(frame.luma(), kernels, korvan::SubsampledPicture::Lines::kPerField);
    for (int y = 0; y < s.height(); ++y) {
        EXPECT_EQ(s.Row(y)[0], (y & 1) ? 200 : 0) << y;
        EXPECT_EQ(s.Row(y)[s.width() - 1], (y & 1) ? 200 : 0) << y;
    }
    s.Build(frame.luma(), kernels);
    for (int y = 0; y < s.height(); ++y) EXPECT_EQ(s.Row(y)[3], 100) << y;
}

TEST(MotionSearchTest, AdaptiveFCodeCoversTheLargestComponent) {
    EXPECT_EQ(korvan::AdaptiveFCode(0), 1);
    EXPECT_EQ(korvan::AdaptiveFCode(15), 1);  // 7.5 pels
    EXPECT_EQ(korvan::AdaptiveFCode(16), 2);  // 8 pels
    EXPECT_EQ(korvan::AdaptiveFCode(80), 4);  // 40 pels
    EXPECT_EQ(korvan::AdaptiveFCode(4095), 9);
    EXPECT_EQ(korvan::AdaptiveFCode(4096), 1);  // 2048 pels and more
}

TEST(ModeDecisionTest, InterWhenTheErrorIsSmallOrBelowTheVariance) {
    using korvan::SearchKind;
    // Variance 1000, error 500: coded inter, the error being below 2304.
    EXPECT_TRUE(korvan::PreferInter(1000, 500, SearchKind::kTwoStage));
    EXPECT_TRUE(korvan::PreferInter(6000, 3000, SearchKind::kTwoStage));
    EXPECT_FALSE(korvan::PreferInter(5999, 3000, SearchKind::kTwoStage));
    EXPECT_TRUE(korvan::PreferInter(3000, 3000, SearchKind::kWindowed));
    EXPECT_FALSE(korvan::PreferInter(2999, 3000, SearchKind::kWindowed));

    EXPECT_TRUE(korvan::PreferMotionCompensation(3000, 3751));
    EXPECT_FALSE(korvan::PreferMotionCompensation(3000, 3750));
    EXPECT_FALSE(korvan::PreferMotionCompensation(100, 2303));  // zero vector good enough
}

}  // namespace
