// How inputs are classified, on files made here, and the exported RealMedia
// test as the host calls it: through libkorvan.so.
#include "korvan/media/source_classification.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/korvan/media/media_test_support.h"

namespace {

using korvan::media::ClassifySource;
using korvan::media::IsRealMediaPath;
using korvan::media::MediaLayerSettings;
using korvan::media::RealMediaFlags;

int Classify(const std::string& path, bool readsRealMedia = true) {
    RealMediaFlags flags;
    return ClassifySource(path, MediaLayerSettings{readsRealMedia}, flags);
}

TEST(SourceClassificationTest, RealMediaByExtensionSignatureAndMetafile) {
    test::TempDir dir;
    RealMediaFlags flags;

    const std::string byExtension = dir / "movie.RMVB";
    test::WriteFile(byExtension, std::string(2000, 'a'));
    EXPECT_TRUE(IsRealMediaPath(byExtension, flags));
    EXPECT_TRUE(flags.realMedia);
    EXPECT_FALSE(flags.metafile);

    const std::string bySignature = dir / "movie.dat";
    test::WriteFile(bySignature, ".RMF" + std::string(2000, '\0'));
    EXPECT_TRUE(IsRealMediaPath(bySignature, flags));
    EXPECT_TRUE(flags.realMedia);

    const std::string metafile = dir / "list.ram";
    test::WriteFile(metafile, "rtsp://example/clip.rm\n");
    EXPECT_TRUE(IsRealMediaPath(metafile, flags));
    EXPECT_TRUE(flags.realMedia);
    EXPECT_TRUE(flags.metafile);

    const std::string plain = dir / "movie.avi";
    test::WriteFile(plain, "RIFF");
    EXPECT_TRUE(IsRealMediaPath(plain, flags));
    EXPECT_FALSE(flags.realMedia);

    // An unreadable path is still RealMedia by its name.
    EXPECT_FALSE(IsRealMediaPath(dir / "gone.rm", flags));
    EXPECT_TRUE(flags.realMedia);
    EXPECT_TRUE(korvan::media::IsRealMediaFile(dir / "gone.rm"));
    EXPECT_FALSE(korvan::media::IsRealMediaFile(dir / "gone.avi"));
}

TEST(SourceClassificationTest, SizesAndFilesThatAreNotThere) {
    test::TempDir dir;
    const std::string short1023 = dir / "short.mp4";
    test::WriteFile(short1023, std::string(1023, 'x'));
    EXPECT_EQ(Classify(short1023), korvan::media::kSourceTooShort);
    const std::string garbage1024 = dir / "garbage.mp4";
    test::WriteFile(garbage1024, std::string(1024, 'x'));
    EXPECT_EQ(Classify(garbage1024), korvan::media::kSourceUnreadable);
    const std::string garbageRm = dir / "garbage.rm";
    test::WriteFile(garbageRm, std::string(1024, 'x'));
    EXPECT_EQ(Classify(garbageRm), korvan::media::kSourceRealMedia);
    EXPECT_EQ(Classify(dir / "missing.mp4"), korvan::media::kSourceMissing);
    EXPECT_EQ(Classify(dir.Folder()), korvan::media::kSourceMissing);
    EXPECT_EQ(Classify(""), korvan::media::kSourceMissing);
}

TEST(SourceClassificationTest, AFileThatCannotBeOpenedIsCodeOne) {
    test::TempDir dir;
    const std::string locked = dir / "locked.mp4";
    test::WriteFile(locked, std::string(4096, 'x'));
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    // Root reads any file, so the check runs as "nobody" in a child.
    ASSERT_EQ(chmod(dir.Folder().c_str(), 0755), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(100);
        _exit(Classify(locked));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), korvan::media::kSourceUnopenable);
}

TEST(SourceClassificationTest, RealFilesAndTheRealMediaReaderSetting) {
    test::TempDir dir("zarvo classify ä");
    const std::string withSound = dir / "with sound.mp4";
    ASSERT_TRUE(test::MakeMediaClip(withSound, 1, "64x48", "libx264", "aac"));
    EXPECT_EQ(Classify(withSound), korvan::media::kSourceReadable);

    const std::string silent = dir / "silent.mp4";
    ASSERT_TRUE(test::MakeMediaClip(silent, 1, "64x48", "libx264", ""));
    EXPECT_EQ(Classify(silent), korvan::media::kSourceUnreadable);

    const std::string real = dir / "clip.rm";
    ASSERT_TRUE(test::MakeMediaClip(real, 1, "64x48", "rv20", "ac3", "-f rm"));
    EXPECT_EQ(Classify(real), korvan::media::kSourceReadable);
    // A RealMedia file under another name is RealMedia by its signature.
    const std::string renamed = dir / "clip.bin";
    test::WriteFile(renamed, test::ReadFile(real));
    EXPECT_EQ(Classify(renamed, false), korvan::media::kSourceRealMedia);

    const std::string silentReal = dir / "silent.rm";
    ASSERT_TRUE(test::MakeMediaClip(silentReal, 1, "64x48", "rv20", "", "-f rm"));
    EXPECT_EQ(Classify(silentReal), korvan::media::kSourceRealMedia);

    // The setting, read from the host's folder.
    EXPECT_TRUE(korvan::media::ReadMediaLayerSettings(dir.Folder()).readsRealMedia);
    test::WriteFile(dir / "zarvo.ini", "[Korvan]\nRealMediaReader=0\n");
    const MediaLayerSettings refusing = korvan::media::ReadMediaLayerSettings(dir.Folder());
    EXPECT_FALSE(refusing.readsRealMedia);
    RealMediaFlags flags;
    EXPECT_EQ(ClassifySource(real, refusing, flags), korvan::media::kSourceRealMedia);
    EXPECT_EQ(ClassifySource(withSound, refusing, flags), korvan::media::kSourceReadable);
}

TEST(SourceClassificationTest, TheLibraryExportsTheRealMediaTest) {
    void* library = dlopen(ZARVO_PROGRAM_FOLDER "libkorvan.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using Test = int (*)(const char*);
    const auto isRealMedia = reinterpret_cast<Test>(dlsym(library, "bIsRMFile"));
    ASSERT_NE(isRealMedia, nullptr);
    test::TempDir dir;
    const std::string signature = dir / "a.mpg";
    test::WriteFile(signature, ".RMF....");
    EXPECT_NE(isRealMedia(signature.c_str()), 0);
    EXPECT_NE(isRealMedia((dir / "missing.ram").c_str()), 0);
    EXPECT_EQ(isRealMedia((dir / "missing.mpg").c_str()), 0);
    EXPECT_EQ(isRealMedia(nullptr), 0);
    dlclose(library);
}

}  // namespace
