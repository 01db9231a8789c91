// Where the main window's controls stand. The window is 680 pixels wide; its
// height and everything below the file list follow the number of files. A
// window made larger gives the extra width to the file list and the path
// fields and the extra height to the file list; text wider than the standard
// columns (a larger desktop font) widens the label column, the button column
// and the time panes.
#pragma once

#include <array>

#include "ui/window_rect.h"

struct MainWindowLayout {
    static constexpr int kWidth = 680;
    static constexpr int kTargetButtons = 9;

    int width = kWidth;
    int height = 0;
    int listHeight = 0;

    // Title bar: help at the left, the frame buttons at the right.
    Rect titleBar;
    Rect help;
    Rect log;  // the activity log, beside help
    Rect systemTray;
    Rect minimize;
    Rect maximize;  // Maximize and Restore share the place
    Rect close;

    // Target row between two horizontal separators.
    Rect burnVideo;
    std::array<Rect, kTargetButtons> targets;  // AVI, MPEG, WMV, DVD, 3GP, iPod, PSP, iPhone, Zune
    std::array<Rect, 4> separators;            // two horizontal, two vertical

    // Input row.
    Rect inputLabel;
    Rect fileList;
    Rect browseFiles;
    Rect chooseDvd;
    Rect moveUp;
    Rect moveDown;
    Rect addFiles;
    Rect deleteFile;
    Rect selectAudioStream;  // where "Move up" is

    // Output and profile rows.
    Rect outputLabel;
    Rect outputName;
    Rect exportFolder;
    Rect browseExportFolder;
    Rect profileLabel;
    Rect profileList;
    Rect editProfile;

    // Merge between two separators, then progress, then the status panes.
    Rect upperMergeSeparator;
    Rect merge;
    Rect lowerMergeSeparator;
    Rect progress;
    Rect convert;
    std::array<Rect, 3> statusPanes;  // left, middle, right
};

// The list box's height for a number of files: 21 for none, else 16 per file
// but at least 47, counting at most 15 files.
int FileListHeight(int fileCount);

// What the window adds to the standard layout: its size beyond the standard
// one and the room its texts need, in pixels.
struct MainWindowRoom {
    int extraWidth = 0;
    int extraHeight = 0;
    int labelWidth = 103;     // "Input Filename:" and the rows below it
    int buttonWidth = 115;    // the right-hand column
    int timePaneWidth = 110;  // each of the middle and right status panes
};

MainWindowLayout LayOutMainWindow(int fileCount, const MainWindowRoom& room = {});
