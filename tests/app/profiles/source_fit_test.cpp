#include "app/profiles/source_fit.h"

#include <gtest/gtest.h>

#include "app/profiles/encoder_options.h"

namespace {

ProfileValues Profile(int widthPx, int heightPx) {
    ProfileValues values;
    values.widthPx = widthPx;
    values.heightPx = heightPx;
    values.sampleRateHz = 48000;
    values.channels = 2;
    return values;
}

MediaInfo Source(int widthPx, int heightPx, FieldOrder order = FieldOrder::kProgressive) {
    MediaInfo source;
    source.videoCodec = "h264";
    source.audioCodec = "aac";
    source.audioStreamCount = 1;
    source.picture.widthPx = widthPx;
    source.picture.heightPx = heightPx;
    source.picture.fieldOrder = order;
    return source;
}

constexpr int kDvdProfile = 0;
constexpr int kSuperVcdProfile = 4;
constexpr int kVideoCdProfile = 5;

TEST(SourceFitTest, APictureOfTheFramesShapeKeepsTheProfilesOptions) {
    // 4:3 into a 4:3 DVD frame, 16:9 into the 16:9 one (ffmpeg's scaler gives
    // both their pixel shape), 4:3 into the iPod's square-pixel 320 x 240.
    EXPECT_EQ(FitSource(Profile(720, 576), kTargetDvd, kDvdProfile, Source(640, 480)).outputOptions,
              "");
    EXPECT_EQ(
        FitSource(Profile(720, 576), kTargetDvd, kDvdProfile, Source(1280, 720)).outputOptions, "");
    MediaInfo anamorphic = Source(1440, 1080);
    anamorphic.picture.sampleAspectWidth = 4;
    anamorphic.picture.sampleAspectHeight = 3;
    EXPECT_EQ(FitSource(Profile(720, 480), kTargetDvd, kDvdProfile, anamorphic).outputOptions, "");
    const SourceFit ipod = FitSource(Profile(320, 240), kTargetIpod, 0, Source(640, 480));
    EXPECT_EQ(ipod.inputOptions, "");
    EXPECT_EQ(ipod.outputOptions, "");
    // "Original" keeps whatever the picture is.
    EXPECT_EQ(FitSource(Profile(0, 0), kTargetAvi, 0, Source(1080, 1920)).outputOptions, "");
    // Without a picture (a probe that failed, a sound file) nothing is known
    // to fit.
    EXPECT_EQ(FitSource(Profile(720, 576), kTargetDvd, kDvdProfile, MediaInfo{}).outputOptions, "");
}

TEST(SourceFitTest, APictureOfAnotherShapeIsFittedInsideTheFrameWithBlackAround) {
    // A portrait phone video on a 4:3 DVD: pillarboxed, pixels of 16:15.
    const std::string portrait = " -vf scale=304:576,pad=720:576:208:0,setsar=16/15 -aspect 4:3";
    EXPECT_EQ(
        FitSource(Profile(720, 576), kTargetDvd, kDvdProfile, Source(1080, 1920)).outputOptions,
        portrait);
    // The same picture recorded on its side with a turn of 90 degrees.
    MediaInfo turned = Source(1920, 1080);
    turned.picture.rotationDegrees = -90;
    EXPECT_EQ(FitSource(Profile(720, 576), kTargetDvd, kDvdProfile, turned).outputOptions,
              portrait);
    // A square-pixel 176 x 144 clip is 11:9, narrower than the DVD's 4:3.
    EXPECT_EQ(FitSource(Profile(720, 576), kTargetDvd, kDvdProfile, Source(176, 144)).outputOptions,
              " -vf scale=660:576,pad=720:576:30:0,setsar=16/15 -aspect 4:3");
    // Wide pictures on a VideoCD, which shows 4:3 only: letterboxed, MPEG-1
    // carries its pixel shape itself.
    EXPECT_EQ(
        FitSource(Profile(352, 288), kTargetDvd, kVideoCdProfile, Source(1280, 720)).outputOptions,
        " -vf scale=352:216,pad=352:288:0:36,setsar=12/11");
    // A SuperVCD shows a wide picture at 16:9.
    EXPECT_EQ(
        FitSource(Profile(480, 576), kTargetDvd, kSuperVcdProfile, Source(1920, 800)).outputOptions,
        " -vf scale=480:426,pad=480:576:0:74,setsar=32/15 -aspect 16:9");
    // A wide picture on the iPod's square pixels.
    EXPECT_EQ(FitSource(Profile(320, 240), kTargetIpod, 0, Source(1280, 720)).outputOptions,
              " -vf scale=320:180,pad=320:240:0:30,setsar=1/1");
}

TEST(SourceFitTest, InterlacedPicturesAreDeinterlacedInTheirFieldOrder) {
    MediaInfo tv = Source(1440, 1080, FieldOrder::kTopFirst);
    tv.picture.sampleAspectWidth = 4;
    tv.picture.sampleAspectHeight = 3;
    EXPECT_EQ(FitSource(Profile(320, 240), kTargetPsp, 0, tv).outputOptions,
              " -vf bwdif=mode=send_frame:parity=tff:deint=all,scale=320:180,pad=320:240:0:30,"
              "setsar=1/1");
    EXPECT_EQ(FitSource(Profile(720, 576), kTargetDvd, kDvdProfile,
                        Source(720, 576, FieldOrder::kBottomFirst))
                  .outputOptions,
              " -vf bwdif=mode=send_frame:parity=bff:deint=all,scale=676:576,pad=720:576:22:0,"
              "setsar=16/15 -aspect 4:3");
    EXPECT_EQ(FitSource(Profile(0, 0), kTargetAvi, 0, Source(720, 576, FieldOrder::kBottomFirst))
                  .outputOptions,
              " -vf bwdif=mode=send_frame:parity=bff:deint=all");

    EXPECT_TRUE(NeedsFieldDetection(Source(720, 576, FieldOrder::kUnknown)));
    EXPECT_FALSE(NeedsFieldDetection(Source(720, 576, FieldOrder::kTopFirst)));
    EXPECT_FALSE(NeedsFieldDetection(MediaInfo{}));
}

TEST(SourceFitTest, TargetsThatNeedSoundGetASilentTrackOfTheProfilesFormat) {
    MediaInfo silent = Source(640, 480);
    silent.audioCodec.clear();
    silent.audioStreamCount = 0;
    ProfileValues psp = Profile(320, 240);
    psp.sampleRateHz = 24000;
    psp.channels = 1;
    const SourceFit fit = FitSource(psp, kTargetPsp, 0, silent);
    EXPECT_EQ(fit.inputOptions, " -f lavfi -i anullsrc=r=24000:cl=mono");
    EXPECT_EQ(fit.outputOptions, " -shortest");
    EXPECT_EQ(FitSource(Profile(352, 288), kTargetDvd, kVideoCdProfile, silent).inputOptions,
              " -f lavfi -i anullsrc=r=48000:cl=stereo");
    // A profile without sound, a source with sound, a target that plays
    // pictures alone.
    ProfileValues mute = psp;
    mute.hasAudio = false;
    EXPECT_EQ(FitSource(mute, kTargetPsp, 0, silent).inputOptions, "");
    EXPECT_EQ(FitSource(psp, kTargetPsp, 0, Source(640, 480)).inputOptions, "");
    EXPECT_EQ(FitSource(Profile(640, 480), kTargetAvi, 0, silent).inputOptions, "");
}

TEST(SourceFitTest, DisplayShapeTakesPixelsAndTurnsIntoAccount) {
    PictureFacts picture;
    EXPECT_EQ(DisplayShape(picture), 0);
    picture.widthPx = 1440;
    picture.heightPx = 1080;
    picture.sampleAspectWidth = 4;
    picture.sampleAspectHeight = 3;
    EXPECT_DOUBLE_EQ(DisplayShape(picture), 16.0 / 9.0);
    picture.rotationDegrees = 270;
    EXPECT_DOUBLE_EQ(DisplayShape(picture), 9.0 / 16.0);
    picture.rotationDegrees = 180;
    EXPECT_DOUBLE_EQ(DisplayShape(picture), 16.0 / 9.0);
}

}  // namespace
