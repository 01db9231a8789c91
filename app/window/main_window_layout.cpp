#include "app/window/main_window_layout.h"

#include <algorithm>

namespace {

constexpr int kListTop = 82;
constexpr int kHeightBesideList = 232;
constexpr int kRowHeight = 21;
constexpr int kLabelLeft = 5;
constexpr int kIconWidth = 26;
constexpr int kIconStep = 29;
// Of the room between the output label and the button column, the output
// name takes 180 of 441 parts (as at the standard width), the export folder
// the rest.
constexpr int kOutputNameShare = 180;
constexpr int kPathFieldsShare = 441;

constexpr int kTargetTop = 24;
constexpr int kTargetBottom = 76;

}  // namespace

int FileListHeight(int fileCount) {
    const int n = std::clamp(fileCount, 0, 15);
    if (n == 0) return 21;
    return std::max(16 * n, 47);
}

MainWindowLayout LayOutMainWindow(int fileCount, const MainWindowRoom& room) {
    MainWindowLayout l;
    const int W = MainWindowLayout::kWidth + std::max(0, room.extraWidth);
    l.width = W;
    l.listHeight = FileListHeight(fileCount) + std::max(0, room.extraHeight);
    l.height = l.listHeight + kHeightBesideList;
    const int d = kListTop + l.listHeight;

    // The right-hand column of buttons; fields to its left end 4 pixels
    // before it, labels end 2 pixels before the fields.
    const int columnWidth = std::max(115, room.buttonWidth);
    const int columnLeft = W - 6 - columnWidth;
    const int columnRight = W - 6;
    const int halfColumn = (columnWidth - 5) / 2;
    const int fieldRight = columnLeft - 4;
    const int labelRight = kLabelLeft + std::max(103, room.labelWidth);
    const int fieldLeft = labelRight + 2;

    l.titleBar = {0, 0, W, 22};
    l.help = {0, 1, 18, 21};
    l.log = {20, 1, 52, 21};
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

    l.inputLabel = {kLabelLeft, kListTop, labelRight, kListTop + kRowHeight};
    l.fileList = {fieldLeft, kListTop, fieldRight, d};
    l.browseFiles = {columnLeft, kListTop, columnLeft + halfColumn, kListTop + kRowHeight};
    l.chooseDvd = {columnRight - halfColumn, kListTop, columnRight, kListTop + kRowHeight};
    constexpr int iconTop = kListTop + kRowHeight + 4;
    std::array<Rect*, 4> icons = {&l.moveUp, &l.moveDown, &l.addFiles, &l.deleteFile};
    for (std::size_t i = 0; i < icons.size(); ++i) {
        const int left = columnLeft + static_cast<int>(i) * kIconStep;
        *icons[i] = {left, iconTop, left + kIconWidth, iconTop + 20};
    }
    l.selectAudioStream = l.moveUp;

    const int outputTop = d + 5;
    const int outputRight =
        fieldLeft + std::max(0, fieldRight - fieldLeft - 4) * kOutputNameShare / kPathFieldsShare;
    l.outputLabel = {kLabelLeft, outputTop, labelRight, outputTop + kRowHeight};
    l.outputName = {fieldLeft, outputTop, outputRight, outputTop + kRowHeight};
    l.exportFolder = {outputRight + 4, outputTop, fieldRight, outputTop + kRowHeight};
    l.browseExportFolder = {columnLeft, outputTop, columnRight, outputTop + kRowHeight};

    const int profileTop = d + 31;
    l.profileLabel = {kLabelLeft, profileTop, labelRight, profileTop + kRowHeight};
    l.profileList = {fieldLeft, profileTop, fieldRight, profileTop + kRowHeight};
    l.editProfile = {columnLeft, profileTop, columnRight, profileTop + kRowHeight};

    l.upperMergeSeparator = {0, d + 57, W, d + 59};
    l.merge = {kLabelLeft, d + 64, kLabelLeft + 120, d + 64 + kRowHeight};
    l.lowerMergeSeparator = {0, d + 90, W, d + 92};

    l.progress = {5, d + 97, fieldRight, d + 118};
    l.convert = {columnLeft, d + 97, columnRight, d + 118};

    // The time panes take what their texts need, the left one the rest.
    const int paneTop = l.height - 23;
    const int paneBottom = l.height - 3;
    const int timeWidth = std::max(110, room.timePaneWidth);
    const Rect right = {W - 3 - timeWidth, paneTop, W - 3, paneBottom};
    const Rect middle = {right.left - 1 - timeWidth, paneTop, right.left - 1, paneBottom};
    l.statusPanes = {{{1, paneTop, middle.left - 1, paneBottom}, middle, right}};
    return l;
}
