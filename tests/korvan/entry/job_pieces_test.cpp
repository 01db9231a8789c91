// The pieces of a job the driver works out before it encodes: the job file's
// description, the picture windows, the output names and the media types.
#include <gtest/gtest.h>

#include "korvan/entry/frame_window.h"
#include "korvan/entry/job_file.h"
#include "korvan/entry/job_progress.h"
#include "korvan/entry/media_dispatch.h"
#include "korvan/entry/output_names.h"
#include "platform/private_profile.h"
#include "tests/support/temp_dir.h"

namespace korvan {

void PrintTo(const FrameWindow& window, std::ostream* out) {
    *out << window.first << ".." << window.last;
}

}  // namespace korvan

namespace {

using korvan::ClipMarks;
using korvan::FrameWindow;

TEST(FrameWindowTest, ClipMarksChooseThePicturesAndAbsentMarksTheWholeInput) {
    const FrameWindow tenSeconds{0, 249};
    // No clip file: the end computed from a length of 0 is -2, which as an
    // unsigned number is beyond the last picture.
    EXPECT_EQ(korvan::ClipFrameWindow({}, 25, tenSeconds), (FrameWindow{0, 249}));
    EXPECT_EQ(korvan::ClipFrameWindow({2, 5, 10}, 25, tenSeconds), (FrameWindow{50, 125}));
    // An end that is not after the start is no end mark: the length rules,
    // two pictures short.
    EXPECT_EQ(korvan::ClipFrameWindow({5, 3, 10}, 25, tenSeconds), (FrameWindow{125, 248}));
    // The smaller of the length and the end mark is taken before the
    // clamp, so a missing length (-2) makes the end the last picture.
    EXPECT_EQ(korvan::ClipFrameWindow({2, 5, 0}, 25, tenSeconds), (FrameWindow{50, 249}));
    // A window that starts past the input converts its last picture, never
    // a negative count.
    EXPECT_EQ(korvan::ClipFrameWindow({20, 30, 40}, 25, tenSeconds), (FrameWindow{249, 249}));
    // Readers that number from a later first picture keep it.
    EXPECT_EQ(korvan::ClipFrameWindow({}, 25, {10, 99}), (FrameWindow{10, 99}));
}

TEST(FrameWindowTest, TheJobsTimesNarrowTheClipsWindow) {
    const FrameWindow input{0, 9999};  // 400 s at 25 pictures a second
    const FrameWindow clip{50, 125};
    // "stime" 30 and "etime" 10 are swapped: seconds 10 to 30.
    EXPECT_EQ(korvan::JobFrameWindow({0, 9999}, 30, 10, 25, input), (FrameWindow{250, 750}));
    // Equal times leave the clip's window in force.
    EXPECT_EQ(korvan::JobFrameWindow(clip, 7, 7, 25, input), clip);
    // An end of 300 s ends the window there, whatever the clip says.
    EXPECT_EQ(korvan::JobFrameWindow(clip, 0, 300, 25, input), (FrameWindow{50, 7500}));
    // An end of 0 is the smaller time, so the two are swapped: the window
    // runs from the clip's start to 20 s.
    EXPECT_EQ(korvan::JobFrameWindow(clip, 20, 0, 25, input), (FrameWindow{50, 500}));
    // Picture numbers are truncated.
    EXPECT_EQ(korvan::JobFrameWindow(clip, 60, 100, 29.97, input), (FrameWindow{1798, 2997}));
    EXPECT_EQ(korvan::JobFrameWindow(clip, 300, 500, 25, {0, 249}), (FrameWindow{249, 249}));
}

TEST(FrameWindowTest, ClipFilesAreReadKeyByKeyAndGarbageReadsAsNoMarks) {
    test::TempDir folder("clip ü");
    const std::string clip = korvan::ClipFilePath(folder.Folder(), "/videos/my movie.rm");
    EXPECT_EQ(clip, folder / "my movie.clip");
    test::WriteFile(clip, "[zarvo]\ntime1=2\ntime2=5\nduration=8\n");
    const ClipMarks marks = korvan::ReadClipMarks(clip);
    EXPECT_EQ(marks.startSeconds, 2);
    EXPECT_EQ(marks.endSeconds, 5);
    EXPECT_EQ(marks.durationSeconds, 8);
    test::WriteFile(clip, std::string("\0\xff[zarvo\ntime1=x\n\x01", 18));
    const ClipMarks garbage = korvan::ReadClipMarks(clip);
    EXPECT_EQ(garbage.startSeconds + garbage.endSeconds + garbage.durationSeconds, 0);
    EXPECT_EQ(korvan::ReadClipMarks(folder / "absent.clip").durationSeconds, 0);
}

TEST(OutputNamesTest, SplitPiecesAreNumberedFromTheFirstName) {
    std::string name = "/export/movie.mpg";
    for (int split = 1; split <= 3; ++split) name = korvan::SplitOutputName(name, split);
    EXPECT_EQ(name, "/export/movie003.mpg");
    EXPECT_EQ(korvan::SplitOutputName("/export/movie.mpg", 1), "/export/movie001.mpg");
    EXPECT_EQ(korvan::SplitOutputName("/export/movie009.mpg", 10), "/export/movie010.mpg");
    // A dot in a folder's name is not an extension.
    EXPECT_EQ(korvan::SplitOutputName("/ex.port/movie", 1), "/ex.port/movie001.mpg");
    // A number an input of the job has is passed over.
    int count = 0;
    EXPECT_EQ(korvan::NextSplitOutputName("/e/movie.mpg", count,
                                          {"/v/movie.rm", "/e/movie001.mpg", "/e/movie002.mpg"}),
              "/e/movie003.mpg");
    EXPECT_EQ(count, 3);
}

TEST(OutputNamesTest, OutputsFollowThePlannedNameButNeverReplaceAnInput) {
    using korvan::OutputForm;
    const std::vector<std::string> clip = {"/v/clip.rm"};
    EXPECT_EQ(
        korvan::OutputNameFor("/e/", clip[0], "/e/tempvideofile.mpg", OutputForm::kMpeg, clip),
        "/e/tempvideofile.mpg");
    EXPECT_EQ(korvan::OutputNameFor("/e/", clip[0], "", OutputForm::kMpeg, clip), "/e/clip.mpg");
    EXPECT_EQ(korvan::OutputNameFor("/e/", clip[0], "", OutputForm::kAvi, clip), "/e/clip.avi");
    EXPECT_EQ(korvan::OutputNameFor("/e/", "/e/clip.mpg", "", OutputForm::kMpeg, {"/e/clip.mpg"}),
              "/e/clip_korvan.mpg");
    // Nor an input still to come, under either name.
    const std::vector<std::string> taken = {"/v/clip.rm", "/e/clip.mpg", "/e/clip_korvan.mpg"};
    EXPECT_EQ(korvan::OutputNameFor("/e/", taken[0], "", OutputForm::kMpeg, taken),
              "/e/clip_korvan_korvan.mpg");
    EXPECT_EQ(korvan::Mp3NameFor("/e/", "/e/song.mpg"), "/e/song.mp3");
}

TEST(MediaDispatchTest, EachMediaTypeHasItsTargetFormAndSize) {
    struct Row {
        int mediaType;
        korvan::TargetKind kind;
        korvan::OutputForm form;
        int ntscWidth, ntscHeight, palWidth, palHeight;  // 0: the source's
    };
    const Row rows[] = {
        {0, korvan::kTargetMpeg1, korvan::OutputForm::kAvi, 0, 0, 0, 0},
        {1, korvan::kTargetMpeg1, korvan::OutputForm::kMpeg, 0, 0, 0, 0},
        {2, korvan::kTargetMpeg2, korvan::OutputForm::kMpeg, 0, 0, 0, 0},
        {3, korvan::kTargetDvd, korvan::OutputForm::kMpeg, 720, 480, 720, 576},
        {4, korvan::kTargetVideoCd, korvan::OutputForm::kMpeg, 352, 240, 352, 288},
        {5, korvan::kTargetSuperVcd, korvan::OutputForm::kMpeg, 480, 480, 480, 576},
        {6, korvan::kTargetMpeg1, korvan::OutputForm::kAviForMp3, 0, 0, 0, 0},
    };
    const korvan::PictureSize source{322, 242};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mediaType);
        const auto dispatch = korvan::DispatchMediaType(row.mediaType);
        ASSERT_TRUE(dispatch);
        EXPECT_EQ(dispatch->targetKind, row.kind);
        EXPECT_EQ(dispatch->form, row.form);
        const korvan::PictureSize ntsc = korvan::OutputPictureSize(*dispatch, false, source);
        const korvan::PictureSize pal = korvan::OutputPictureSize(*dispatch, true, source);
        if (row.ntscWidth == 0) {
            // The source's size; an AVI's rounded down to multiples of 4.
            const bool avi = row.form == korvan::OutputForm::kAvi;
            EXPECT_EQ(ntsc.width, avi ? 320 : 322);
            EXPECT_EQ(ntsc.height, avi ? 240 : 242);
            EXPECT_EQ(pal.width, ntsc.width);
        } else {
            EXPECT_EQ(ntsc.width, row.ntscWidth);
            EXPECT_EQ(ntsc.height, row.ntscHeight);
            EXPECT_EQ(pal.width, row.palWidth);
            EXPECT_EQ(pal.height, row.palHeight);
        }
    }
    EXPECT_FALSE(korvan::DispatchMediaType(7));
    EXPECT_FALSE(korvan::DispatchMediaType(-1));
}

TEST(JobFileTest, TheDescriptionIsReadKeyByKeyAndSurvivesADamagedFile) {
    test::TempDir folder("job ü");
    const korvan::JobFile job(folder / "Tobrin.ini");
    test::WriteFile(job.Path(),
                    "[infiles]\ndvdmode=1\nnumber=2\nfile000=/v/a b.rm\nfile001=/v/c.rm\n"
                    "[outformat]\nmerge=1\nmediatype=6\ntempavifilename=/e/t.mpg\n"
                    "[common]\nstime=30\netime=10\noperationid=2\n");
    korvan::JobDescription description = job.ReadDescription();
    EXPECT_TRUE(description.temporaryInputs);
    EXPECT_EQ(description.inputs, (std::vector<std::string>{"/v/a b.rm", "/v/c.rm"}));
    EXPECT_TRUE(description.merge);
    EXPECT_EQ(description.mediaType, 6);
    EXPECT_EQ(description.startSeconds, 30);
    EXPECT_EQ(description.endSeconds, 10);
    EXPECT_EQ(description.operation, job_file::kTestReadableOperation);
    EXPECT_EQ(description.plannedResult, "/e/t.mpg");

    // A count far beyond the keys there reads the keys there, and one
    // input is never merged.
    test::WriteFile(job.Path(),
                    "[infiles]\nnumber=2000000000\nfile000=/v/a.rm\n"
                    "[outformat]\nmerge=1\n");
    description = job.ReadDescription();
    EXPECT_EQ(description.inputs, (std::vector<std::string>{"/v/a.rm"}));
    EXPECT_FALSE(description.merge);

    test::WriteFile(job.Path(), std::string("\x89PNG\r\n\x1a\n\0\0[infiles\nnumber=", 23));
    description = job.ReadDescription();
    EXPECT_EQ(description.inputCount, 0);
    EXPECT_EQ(description.operation, job_file::kConvertOperation);

    // Progress lines hold line breaks; the file keeps one line per key.
    job.WriteCommonText(job_file::kTipKey, "Step 1 of 2: Video:5% - frame 5 of 100,\r\nNeed time");
    job.WriteCommonInt(job_file::kPercentKey, -1);
    EXPECT_EQ(job.ReadCommonInt(job_file::kPercentKey, 0), -1);
    EXPECT_EQ(platform::GetPrivateProfileString("common", "strtip", "", 4096, job.Path()),
              "Step 1 of 2: Video:5% - frame 5 of 100,  Need time");
}

}  // namespace

namespace {

TEST(JobProgressTest, RisesOnceOverStepsInputsAndPieces) {
    korvan::JobProgress progress(2);
    progress.BeginEncode(0, 0, 1);
    // Video, then audio and the multiplex from 0 again: the figure holds.
    EXPECT_EQ(progress.Report(0), 0);
    EXPECT_EQ(progress.Report(50), 25);
    EXPECT_EQ(progress.Report(100), 50);
    EXPECT_EQ(progress.Report(10), 50);
    EXPECT_EQ(progress.Report(100), 50);
    // The second input was cut: its second piece starts 60 % in.
    progress.BeginEncode(1, 0, 1);
    EXPECT_EQ(progress.Report(30), 65);
    progress.BeginEncode(1, 0.6, 1);
    EXPECT_EQ(progress.Report(0), 80);
    EXPECT_EQ(progress.Report(50), 90);
    EXPECT_EQ(progress.Report(150), 100);
    // Nothing lowers it.
    progress.BeginEncode(0, 0, 1);
    EXPECT_EQ(progress.Report(-5), 100);
}

}  // namespace
