// The command ids the main window's buttons send (the command message's
// wParam), and the progress notification that tools deliver the same way.
#pragma once

enum MainWindowCommand : int {
    kCmdClose = 1030,
    kCmdSystemTray = 1031,
    kCmdMinimize = 1032,
    kCmdHelp = 1039,
    kCmdMoveUp = 1044,
    kCmdMoveDown = 1045,
    kCmdDeleteFile = 1046,
    kCmdAddFiles = 1047,
    kCmdBurnVideo = 1081,
    kCmdMaximize = 2000,
    kCmdRestore = 2001,
    kCmdSelectAudioStream = 2002,
    kCmdBrowseFiles = 40000,
    kCmdBrowseExportFolder = 40001,
    kCmdEditProfile = 40002,
    kCmdConvert = 40003,
    kCmdProgress = 40004,
    kCmdChooseDvd = 40005,
    // The "Log" button beside help: the session's activity log.
    kCmdShowLog = 40100,
};

// The target buttons' commands are in conversion_target.h (1033..1037,
// 1200..1204).
