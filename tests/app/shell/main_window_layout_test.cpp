#include "app/window/main_window_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int W = MainWindowLayout::kWidth;

TEST(MainWindowLayoutTest, ListHeightFollowsTheNumberOfFiles) {
    EXPECT_EQ(FileListHeight(0), 21);
    EXPECT_EQ(FileListHeight(1), 47);
    EXPECT_EQ(FileListHeight(2), 47);
    EXPECT_EQ(FileListHeight(3), 48);
    EXPECT_EQ(FileListHeight(4), 64);
    EXPECT_EQ(FileListHeight(15), 240);
    EXPECT_EQ(FileListHeight(20), 240);
    EXPECT_EQ(FileListHeight(-1), 21);
}

TEST(MainWindowLayoutTest, WindowHeightIsListHeightPlus232) {
    EXPECT_EQ(LayOutMainWindow(0).height, 253);
    EXPECT_EQ(LayOutMainWindow(4).height, 296);
    EXPECT_EQ(LayOutMainWindow(20).height, 472);
}

TEST(MainWindowLayoutTest, RowsBelowTheListMoveWithIt) {
    for (int files : {0, 1, 4, 15}) {
        SCOPED_TRACE(files);
        const MainWindowLayout l = LayOutMainWindow(files);
        const int d = 82 + l.listHeight;
        EXPECT_EQ(l.fileList, (Rect{110, 82, W - 125, d}));
        EXPECT_EQ(l.outputName.top, d + 5);
        EXPECT_EQ(l.outputName.Height(), 21);
        EXPECT_EQ(l.exportFolder.right, W - 125);
        EXPECT_EQ(l.browseExportFolder, (Rect{W - 121, d + 5, W - 6, d + 26}));
        EXPECT_EQ(l.profileList.top, d + 31);
        EXPECT_EQ(l.editProfile.top, d + 31);
        EXPECT_EQ(l.upperMergeSeparator, (Rect{0, d + 57, W, d + 59}));
        EXPECT_EQ(l.merge.top, d + 64);
        EXPECT_EQ(l.lowerMergeSeparator, (Rect{0, d + 90, W, d + 92}));
        EXPECT_EQ(l.progress, (Rect{5, d + 97, W - 125, d + 118}));
        EXPECT_EQ(l.convert.top, d + 97);
        EXPECT_EQ(l.statusPanes[0], (Rect{1, l.height - 23, W - 225, l.height - 3}));
        EXPECT_EQ(l.statusPanes[1], (Rect{W - 224, l.height - 23, W - 114, l.height - 3}));
        EXPECT_EQ(l.statusPanes[2], (Rect{W - 113, l.height - 23, W - 3, l.height - 3}));
    }
}

TEST(MainWindowLayoutTest, FixedRowsStandWhereTheButtonsAre) {
    const MainWindowLayout l = LayOutMainWindow(2);
    EXPECT_EQ(l.help, (Rect{0, 1, 18, 21}));
    EXPECT_EQ(l.burnVideo, (Rect{5, 24, 65, 76}));
    const int lefts[] = {69, 129, 189, 249, 309, 369, 429, 490, 551};
    for (int i = 0; i < MainWindowLayout::kTargetButtons; ++i) {
        EXPECT_EQ(l.targets[static_cast<std::size_t>(i)], (Rect{lefts[i], 24, lefts[i] + 60, 76}));
    }
    EXPECT_EQ(l.browseFiles.left, W - 121);
    EXPECT_EQ(l.browseFiles.right, W - 66);
    EXPECT_EQ(l.chooseDvd.left, W - 61);
    EXPECT_EQ(l.chooseDvd.right, W - 6);
    EXPECT_EQ(l.selectAudioStream, l.moveUp);
}

// No two controls overlap and every control lies inside the window, for
// every list size (the audio stream button shares "Move up"'s place and is
// never shown with it).
TEST(MainWindowLayoutTest, ControlsNeitherOverlapNorLeaveTheWindow) {
    for (int files = 1; files <= 16; ++files) {
        SCOPED_TRACE(files);
        const MainWindowLayout l = LayOutMainWindow(files);
        std::vector<Rect> controls = {
            l.help,        l.log,         l.systemTray,   l.minimize,           l.maximize,
            l.close,       l.burnVideo,   l.inputLabel,   l.fileList,           l.browseFiles,
            l.chooseDvd,   l.moveUp,      l.moveDown,     l.addFiles,           l.deleteFile,
            l.outputLabel, l.outputName,  l.exportFolder, l.browseExportFolder, l.profileLabel,
            l.profileList, l.editProfile, l.merge,        l.progress,           l.convert};
        controls.insert(controls.end(), l.targets.begin(), l.targets.end());
        controls.insert(controls.end(), l.statusPanes.begin(), l.statusPanes.end());
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const Rect& a = controls[i];
            EXPECT_GE(a.left, 0);
            EXPECT_GE(a.top, 0);
            EXPECT_LE(a.right, W);
            EXPECT_LE(a.bottom, l.height);
            EXPECT_GT(a.Width(), 0);
            EXPECT_GT(a.Height(), 0);
            for (std::size_t j = i + 1; j < controls.size(); ++j) {
                const Rect& b = controls[j];
                const bool overlap =
                    a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
                EXPECT_FALSE(overlap) << "controls " << i << " and " << j;
            }
        }
    }
}

}  // namespace
