#include "app/cli/convert_options.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

ConvertParse Parse(std::vector<std::string> words) {
    words.insert(words.begin(), kConvertProgramName);
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    argv.push_back(nullptr);
    return ParseConvertOptions(static_cast<int>(words.size()), argv.data());
}

// The parse's error, failing the test when there is none.
std::string ErrorOf(std::vector<std::string> words) {
    const ConvertParse parse = Parse(std::move(words));
    EXPECT_FALSE(parse.error.empty());
    EXPECT_EQ(parse.error.find('\n'), std::string::npos) << parse.error;
    // Nothing half-filled reaches a caller that ignores the error.
    EXPECT_TRUE(parse.options.files.empty());
    EXPECT_EQ(parse.options.action, ConvertAction::kConvert);
    return parse.error;
}

TEST(ConvertOptionsTest, TheIssuesCommandLines) {
    ConvertParse parse = Parse({"--target", "ipod", "--profile", "Video 640x480", "--merge",
                                "--export", "/home/u/Out dir/", "a.mp4", "b c.avi"});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.action, ConvertAction::kConvert);
    EXPECT_EQ(parse.options.target, kTargetIpod);
    EXPECT_FALSE(parse.options.profile.index.has_value());
    EXPECT_EQ(parse.options.profile.name, "Video 640x480");
    EXPECT_TRUE(parse.options.merge);
    EXPECT_EQ(parse.options.exportFolder, "/home/u/Out dir/");
    EXPECT_EQ(parse.options.files, (std::vector<std::string>{"a.mp4", "b c.avi"}));
    EXPECT_EQ(parse.options.dvdFolderAnswer, DvdFolderAnswer::kKeep);
    EXPECT_FALSE(parse.options.audioStream.has_value());

    parse = Parse({"--target", "dvd", "--profile", "0", "--image", "/tmp/img", "x.mpg"});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.target, kTargetDvd);
    EXPECT_EQ(parse.options.profile.index, 0);
    EXPECT_EQ(parse.options.profile.name, "");
    EXPECT_EQ(parse.options.imageFolder, "/tmp/img");
    EXPECT_FALSE(parse.options.merge);

    parse = Parse({"--dvd-title", "/media/DVD/VIDEO_TS", "--audio", "1", "--target", "mpeg"});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.target, kTargetMpeg);
    EXPECT_EQ(parse.options.dvdTitleFolder, "/media/DVD/VIDEO_TS");
    EXPECT_EQ(parse.options.audioStream, 1);
    EXPECT_TRUE(parse.options.files.empty());
    // Without --profile the window's first profile.
    EXPECT_EQ(parse.options.profile.index, 0);

    parse = Parse({"--target", "DVD", "--replace-dvd", "--profile", "19", "a.avi"});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.dvdFolderAnswer, DvdFolderAnswer::kReplace);
    EXPECT_EQ(parse.options.profile.index, 19);

    parse = Parse({"--list-targets"});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.action, ConvertAction::kListTargets);

    parse = Parse({"--list-profiles", "zUnE"});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.action, ConvertAction::kListProfiles);
    EXPECT_EQ(parse.options.target, kTargetZune);

    // --help answers whatever else the line lacks.
    for (const char* help : {"--help", "-h"}) {
        parse = Parse({"--target", "nonsense", help});
        ASSERT_EQ(parse.error, "") << help;
        EXPECT_EQ(parse.options.action, ConvertAction::kHelp);
    }
}

TEST(ConvertOptionsTest, TargetsByTheirButtonsNamesInAnyCase) {
    const struct {
        const char* name;
        ConversionTarget target;
    } names[] = {{"AVI", kTargetAvi}, {"mpeg", kTargetMpeg},     {"Wmv", kTargetWmv},
                 {"dvd", kTargetDvd}, {"3gp", kTarget3gp},       {"IPOD", kTargetIpod},
                 {"psp", kTargetPsp}, {"iphone", kTargetIphone}, {"ZUNE", kTargetZune}};
    for (const auto& [name, target] : names) {
        EXPECT_EQ(TargetOfName(name), target) << name;
        const ConvertParse parse = Parse({"--target=" + std::string(name), "f"});
        EXPECT_EQ(parse.error, "") << name;
        EXPECT_EQ(parse.options.target, target) << name;
        // --help names every target.
        EXPECT_NE(std::string(kConvertUsageText).find(InfoOfTarget(target)->caption),
                  std::string::npos)
            << name;
    }
    for (const char* name : {"", "mp4", "ipod ", " ipod", "reserved", "3", "i", "zunee"}) {
        EXPECT_FALSE(TargetOfName(name).has_value()) << "'" << name << "'";
    }
    const std::string error = ErrorOf({"--target", "mp4", "f"});
    EXPECT_NE(error.find("'mp4'"), std::string::npos) << error;
    EXPECT_NE(error.find("AVI, MPEG, WMV, DVD, 3GP, iPod, PSP, iPhone or Zune"), std::string::npos)
        << error;
}

TEST(ConvertOptionsTest, WordsAreTakenAsGiven) {
    // Blanks, quotes, non-ASCII and "=" stay in the words; "--" ends the
    // options, and a lone "-" is a file name.
    const std::string odd = "My \"Film\" 'été' 日本 = x.mkv";
    ConvertParse parse = Parse({"--export=/out/a=b c/", "--profile=Name with = sign", "--target",
                                "avi", odd, "-", "--", "--merge", "-x.avi"});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.exportFolder, "/out/a=b c/");
    EXPECT_EQ(parse.options.profile.name, "Name with = sign");
    EXPECT_FALSE(parse.options.merge);
    EXPECT_EQ(parse.options.files, (std::vector<std::string>{odd, "-", "--merge", "-x.avi"}));

    // A value may start with one dash; a number with leading zeros is still
    // a number.
    parse = Parse({"--target", "avi", "--export", "-odd-", "--profile", "007", "f"});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.exportFolder, "-odd-");
    EXPECT_EQ(parse.options.profile.index, 7);
    // A name that only looks like a number in part is a name.
    parse = Parse({"--target", "avi", "--profile", "1st", "f"});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.profile.name, "1st");
    EXPECT_FALSE(parse.options.profile.index.has_value());
}

TEST(ConvertOptionsTest, UsageErrorsSayWhatIsWrong) {
    const struct {
        std::vector<std::string> words;
        const char* says;
    } cases[] = {
        {{}, "'--target' is required"},
        {{"a.avi"}, "'--target' is required"},
        {{"--target", "avi"}, "no files"},
        {{"--target"}, "'--target' needs a value"},
        {{"--target="}, "'--target' needs a value"},
        {{"--export", "--merge", "--target", "avi", "f"}, "'--export' needs a value"},
        {{"--target", "avi", "--frobnicate", "f"}, "unknown option '--frobnicate'"},
        {{"--target", "avi", "-m", "f"}, "unknown option '-m'"},
        {{"--target", "avi", "--merge=yes", "f"}, "'--merge' takes no value"},
        {{"--target", "avi", "--merge", "--merge", "f"}, "'--merge' given twice"},
        {{"--target", "avi", "--target", "mpeg", "f"}, "'--target' given twice"},
        {{"--target", "avi", "--profile", "20", "f"}, "from 0 to 19"},
        {{"--target", "avi", "--profile", "-1", "f"}, "from 0 to 19"},
        {{"--target", "avi", "--profile", "99999999999999999999", "f"}, "from 0 to 19"},
        {{"--target", "mpeg", "--dvd-title", "/d", "--audio", "x"}, "from 0 to 7"},
        {{"--target", "mpeg", "--dvd-title", "/d", "--audio", "8"}, "from 0 to 7"},
        {{"--target", "mpeg", "--dvd-title", "/d", "--audio", "1.5"}, "from 0 to 7"},
        {{"--target", "mpeg", "--dvd-title", "/d", "--audio", "+1"}, "from 0 to 7"},
        {{"--target", "mpeg", "--audio", "1", "f"}, "--audio is for --dvd-title only"},
        {{"--target", "mpeg", "--image", "/i", "f"}, "--image is for the DVD target only"},
        {{"--target", "ipod", "--replace-dvd", "f"}, "--replace-dvd is for the DVD target only"},
        {{"--target", "mpeg", "--dvd-title", "/d", "f"}, "either files or --dvd-title"},
        {{"--target", "avi", ""}, "empty argument"},
        {{"--list-targets", "--target", "avi"}, "takes nothing else"},
        {{"--list-profiles", "ipod", "f"}, "takes nothing else"},
        {{"--list-profiles", "ipod", "--list-targets"}, "not both"},
        {{"--list-profiles", "tv"}, "unknown target 'tv'"},
        {{"--list-profiles"}, "'--list-profiles' needs a value"},
    };
    for (const auto& [words, says] : cases) {
        std::string line;
        for (const std::string& word : words) line += " [" + word + "]";
        const std::string error = ErrorOf(words);
        EXPECT_NE(error.find(says), std::string::npos) << line << " gave: " << error;
    }
}

TEST(ConvertOptionsTest, GarbageGivesOneReadableLine) {
    // Control characters and very long words come back shown, not echoed.
    std::string error = ErrorOf({"--target", "avi", "--a\rb\x1b[2J", "f"});
    EXPECT_EQ(error.find('\r'), std::string::npos) << error;
    EXPECT_EQ(error.find('\x1b'), std::string::npos) << error;
    error = ErrorOf({"--target", std::string(5000, 'z'), "f"});
    EXPECT_LT(error.size(), 300u) << error;
    // Cut between characters, not inside one.
    std::string accents = "z";
    for (int i = 0; i < 100; ++i) accents += "\xc3\xa9";
    error = ErrorOf({"--target", accents, "f"});
    const std::size_t cut = error.find("...'");
    ASSERT_GT(cut, 2u) << error;
    EXPECT_EQ(error.substr(cut - 2, 2), "\xc3\xa9") << error;

    // Any words at all: no crash, and either a sound value or one line.
    std::mt19937 random(34);
    const std::vector<std::string> vocabulary = {"--target",
                                                 "--profile",
                                                 "--merge",
                                                 "--export",
                                                 "--image",
                                                 "--dvd-title",
                                                 "--audio",
                                                 "--replace-dvd",
                                                 "--list-targets",
                                                 "--list-profiles",
                                                 "--help",
                                                 "--",
                                                 "-",
                                                 "dvd",
                                                 "ipod",
                                                 "0",
                                                 "7",
                                                 "8",
                                                 "=",
                                                 "--target=",
                                                 "--audio=3",
                                                 "f.avi",
                                                 ""};
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::string> words(random() % 8);
        for (std::string& word : words) {
            if (random() % 4 == 0) {
                word.resize(random() % 6);
                for (char& c : word) c = static_cast<char>(random() % 256);
            } else {
                word = vocabulary[random() % vocabulary.size()];
            }
        }
        const ConvertParse parse = Parse(words);
        if (!parse.error.empty()) {
            EXPECT_EQ(parse.error.find('\n'), std::string::npos);
            continue;
        }
        const ConvertOptions& o = parse.options;
        if (o.action != ConvertAction::kConvert) continue;
        EXPECT_NE(o.files.empty(), o.dvdTitleFolder.empty());
        EXPECT_NE(o.target, kTargetReserved);
        EXPECT_NE(o.profile.index.has_value(), !o.profile.name.empty());
        if (o.target != kTargetDvd) {
            EXPECT_TRUE(o.imageFolder.empty());
            EXPECT_EQ(o.dvdFolderAnswer, DvdFolderAnswer::kKeep);
        }
        EXPECT_TRUE(!o.audioStream || !o.dvdTitleFolder.empty());
    }

    // No words at all, not even the program's name.
    const ConvertParse none = ParseConvertOptions(0, nullptr);
    EXPECT_NE(none.error, "");
}

}  // namespace
