#include "app/disc/dvd_titles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <map>

#include "tests/support/temp_dir.h"

namespace {

using Paths = std::vector<std::string>;

DurationOf SecondsByName(std::map<std::string, double> seconds) {
    return [seconds](const std::string& path) {
        auto it = seconds.find(path.substr(path.rfind('/') + 1));
        return it == seconds.end() ? 0.0 : it->second;
    };
}

TEST(DvdTitlesTest, GroupsVobsByTitleSetAndCompactsTheGroups) {
    const Paths vobs = {"/d/VIDEO_TS/VIDEO_TS.VOB", "/d/VIDEO_TS/VTS_01_0.VOB",
                        "/d/VIDEO_TS/VTS_01_1.VOB", "/d/VIDEO_TS/VTS_01_2.VOB",
                        "/d/VIDEO_TS/VTS_01_3.VOB", "/d/VIDEO_TS/VTS_02_1.VOB"};
    const DvdTitleGroups groups = GroupVobFiles(vobs);
    EXPECT_EQ(groups[0], Paths({vobs[0]}));
    EXPECT_EQ(groups[1], Paths({vobs[1]}));
    EXPECT_EQ(groups[2], Paths({vobs[2], vobs[3], vobs[4]}));
    EXPECT_EQ(groups[3], Paths({vobs[5]}));
    for (std::size_t i = 4; i < groups.size(); ++i) EXPECT_TRUE(groups[i].empty());
}

TEST(DvdTitlesTest, EmptyGroupsCloseUpInOrder) {
    // No VIDEO_TS.VOB, no menus, title sets 3 and 7 only.
    const Paths vobs = {"/d/vts_03_1.vob", "/d/VTS_07_1.VOB", "/d/VTS_07_2.VOB"};
    const DvdTitleGroups groups = GroupVobFiles(vobs);
    EXPECT_EQ(groups[0], Paths({vobs[0]}));
    EXPECT_EQ(groups[1], Paths({vobs[1], vobs[2]}));
    EXPECT_TRUE(groups[2].empty());
}

TEST(DvdTitlesTest, NamesWithoutATitleNumberAreLeftOut) {
    const Paths vobs = {"/d/X.VOB", "/d/VTS_AB_1.VOB", "/d/VTS_99_1.VOB", "/d/VTS_1.VOB",
                        "/d/VTS_98_1.VOB"};
    const DvdTitleGroups groups = GroupVobFiles(vobs);
    EXPECT_EQ(groups[0], Paths({"/d/VTS_98_1.VOB"}));
    EXPECT_TRUE(groups[1].empty());
}

TEST(DvdTitlesTest, TheLongestTitleWinsAndTheFirstOnEqualLength) {
    const DvdTitleGroups groups =
        GroupVobFiles({"/d/VIDEO_TS.VOB", "/d/VTS_01_0.VOB", "/d/VTS_01_1.VOB", "/d/VTS_01_2.VOB",
                       "/d/VTS_01_3.VOB", "/d/VTS_02_1.VOB"});
    // Title 1: 3 x 100 s; title 2: 5 s; menus 20 s.
    const auto seconds = SecondsByName({{"VTS_01_0.VOB", 20},
                                        {"VTS_01_1.VOB", 100},
                                        {"VTS_01_2.VOB", 100},
                                        {"VTS_01_3.VOB", 100},
                                        {"VTS_02_1.VOB", 5}});
    EXPECT_EQ(LongestGroup(groups, seconds), 2);
    EXPECT_EQ(LongestGroup(groups, SecondsByName({{"VTS_02_1.VOB", 300}, {"VTS_01_1.VOB", 300}})),
              2);
    EXPECT_EQ(LongestGroup(DvdTitleGroups{}, seconds), 0);
}

TEST(DvdTitlesTest, GroupDurationTruncatesAfterEveryAddition) {
    const auto seconds = SecondsByName({{"a", 1.6}, {"b", 1.6}, {"c", 1.6}});
    EXPECT_EQ(GroupDurationSeconds({"/a", "/b", "/c"}, seconds), 3);
    EXPECT_EQ(GroupDurationSeconds({}, seconds), 0);
    // Garbled probe results count as nothing and never overflow.
    const auto garbled = SecondsByName({{"nan", std::nan("")}, {"neg", -5}, {"huge", 1e300}});
    EXPECT_EQ(
        GroupDurationSeconds({"/nan", "/neg", "/a"},
                             [&](const std::string& p) { return p == "/a" ? 2.0 : garbled(p); }),
        2);
    EXPECT_GT(GroupDurationSeconds({"/huge", "/huge"}, garbled), 0);
}

TEST(DvdTitlesTest, ListsTheVobFilesOfTheVideoTsFolderByName) {
    test::TempDir dvd("dvd ä");
    EXPECT_TRUE(ListVobFiles(dvd.Folder()).empty());
    mkdir((dvd / "video_ts").c_str(), 0755);
    for (const char* name : {"VTS_01_2.VOB", "vts_01_1.vob", "VIDEO_TS.VOB", "VTS_01_0.IFO"}) {
        test::WriteFile(dvd / "video_ts/" + name, "");
    }
    // The chosen folder may come with or without its trailing "/".
    const std::string folder = dvd.Folder().substr(0, dvd.Folder().size() - 1);
    EXPECT_EQ(ListVobFiles(folder),
              Paths({dvd / "video_ts/VIDEO_TS.VOB", dvd / "video_ts/vts_01_1.vob",
                     dvd / "video_ts/VTS_01_2.VOB"}));
}

}  // namespace
