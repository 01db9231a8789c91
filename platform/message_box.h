// Modal message boxes, the Windows MessageBox of the libraries that have no
// windows of their own: the text, a caption, an icon. The host program
// decides how they appear by installing a presenter (tobrin shows real boxes
// when a display is there); tests install one that records. Without one the
// text goes to standard error as "caption: text".
//
// One presenter per process, in the shared library of the message loop, so
// that every library of the process shows its boxes the same way.
#pragma once

#include <string>

#include "platform/message_loop.h"

namespace platform {

enum class MessageBoxIcon { kNone, kInformation, kWarning, kError };

class ZARVO_MESSAGES_API MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Returns when the user has closed the box.
    virtual void Show(const std::string& text, const std::string& caption, MessageBoxIcon icon) = 0;
};

// Installs `presenter` (not owned; it must outlive its use, or be replaced
// first) and returns the one it replaces; nullptr goes back to standard
// error.
ZARVO_MESSAGES_API MessagePresenter* InstallMessagePresenter(MessagePresenter* presenter);

// Shows the box and returns when it has been closed. Any thread may call it;
// boxes are shown one at a time.
ZARVO_MESSAGES_API void ShowMessageBox(const std::string& text, const std::string& caption,
                                       MessageBoxIcon icon);

}  // namespace platform
