// Small line-drawn icons for the window toolkit's icon buttons, painted at
// run time so that they stay sharp at any scale.
#pragma once

#include <QColor>
#include <QIcon>

enum class Glyph {
    kHelp,
    kSystemTray,
    kMinimize,
    kMaximize,
    kRestore,
    kClose,
    kMoveUp,
    kMoveDown,
    kAddFiles,
    kDeleteFile,
    kAudioStream,
};

QIcon GlyphIcon(Glyph glyph, const QColor& color, int sizePixels);
