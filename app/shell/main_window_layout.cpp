#include "app/shell/main_window_layout.h"

#include <algorithm>

namespace {

constexpr int W = MainWindowLayout::kWidth;
constexpr int kListTop = 82;
constexpr int kHeightBesideList = 232;
constexpr int kRowHeight = 21;
// The right-hand column of buttons; fields to its left end at W - 125.
constexpr int kColumnLeft = W - 121;
constexpr int kColumnRight = W - 6;
constexpr int kFieldRight = W - 125;
constexpr int kFieldLeft = 110;
constexpr int kLabelLeft = 5;
constexpr int kLabelRight = 108;
constexpr int kIconWidth = 26;
constexpr int kIconStep = 29;

constexpr int kTargetTop = 24;
constexpr int kTargetBottom = 76;

}  // namespace

int FileListHeight(int fileCount) {
    const int n = std::clamp(fileCount, 0, 15);
    if (n == 0) return 21;
    return std::max(16 * n, 47);
}

MainWindowLayout LayOutMainWindow(int fileCount) {
    MainWindowLayout l;
    l.listHeight = FileListHeight(fileCount);
    l.height = l.listHeight + kHeightBesideList;
    const int d = kListTop + l.listHeight;

    l.titleBar = {0, 0, W, 22};
    l.help = {0, 1, 18, 21};
    l.log = {20, 1, 46, 21};
    l.close = {W - 20, 1, W - 2, 21};
    l.maximize = {W - 40, 1, W - 22, 21};
    l.minimize = {W - 60, 1, W - 42, 21};
    l.systemTray = {W - 80, 1, W - 62, 21};

    l.burnVideo = {5, kTargetTop, 65, kTargetBottom};
    // The last two buttons sit one and two pixels further right than a
    // plain row of 60-pixel buttons would put them.
    constexpr std::array<int, MainWindowLayout::kTargetButtons> lefts = {69,  129, 189, 249, 309,
                                                                         369, 429, 490, 551};
    for (std::size_t i = 0; i < lefts.size(); ++i) {
        l.targets[i] = {lefts[i], kTargetTop, lefts[i] + 60, kTargetBottom};
    }
    l.separators = {{{0, 22, W, 24}, {0, 76, W, 78}, {66, 24, 68, 76}, {612, 24, 614, 76}}};

    l.inputLabel = {kLabelLeft, kListTop, kLabelRight, kListTop + kRowHeight};
    l.fileList = {kFieldLeft, kListTop, kFieldRight, d};
    l.browseFiles = {kColumnLeft, kListTop, W - 66, kListTop + kRowHeight};
    l.chooseDvd = {W - 61, kListTop, kColumnRight, kListTop + kRowHeight};
    constexpr int iconTop = kListTop + kRowHeight + 4;
    std::array<Rect*, 4> icons = {&l.moveUp, &l.moveDown, &l.addFiles, &l.deleteFile};
    for (std::size_t i = 0; i < icons.size(); ++i) {
        const int left = kColumnLeft + static_cast<int>(i) * kIconStep;
        *icons[i] = {left, iconTop, left + kIconWidth, iconTop + 20};
    }
    l.selectAudioStream = l.moveUp;

    const int outputTop = d + 5;
    l.outputLabel = {kLabelLeft, outputTop, kLabelRight, outputTop + kRowHeight};
    l.outputName = {kFieldLeft, outputTop, 290, outputTop + kRowHeight};
    l.exportFolder = {294, outputTop, kFieldRight, outputTop + kRowHeight};
    l.browseExportFolder = {kColumnLeft, outputTop, kColumnRight, outputTop + kRowHeight};

    const int profileTop = d + 31;
    l.profileLabel = {kLabelLeft, profileTop, kLabelRight, profileTop + kRowHeight};
    l.profileList = {kFieldLeft, profileTop, kFieldRight, profileTop + kRowHeight};
    l.editProfile = {kColumnLeft, profileTop, kColumnRight, profileTop + kRowHeight};

    l.upperMergeSeparator = {0, d + 57, W, d + 59};
    l.merge = {kLabelLeft, d + 64, kLabelLeft + 120, d + 64 + kRowHeight};
    l.lowerMergeSeparator = {0, d + 90, W, d + 92};

    l.progress = {5, d + 97, kFieldRight, d + 118};
    l.convert = {kColumnLeft, d + 97, kColumnRight, d + 118};

    const int paneTop = l.height - 23;
    const int paneBottom = l.height - 3;
    l.statusPanes = {{{1, paneTop, W - 225, paneBottom},
                      {W - 224, paneTop, W - 114, paneBottom},
                      {W - 113, paneTop, W - 3, paneBottom}}};
    return l;
}
