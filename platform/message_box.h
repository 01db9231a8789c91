// Modal message boxes, the Windows MessageBox of the libraries that have no
// windows of their own: the text, a caption, an icon; and questions answered
// by picking one of a list. The host program decides how they appear by
// installing a presenter (tobrin shows real boxes and dialogs when a display
// is there); tests install one that records and answers. Without one the
// text goes to standard error as "caption: text", and nobody is asked.
//
// One presenter per process, in the shared library of the message loop, so
// that every library of the process shows its boxes the same way.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/message_loop.h"

namespace platform {

enum class MessageBoxIcon { kNone, kInformation, kWarning, kError };

// A question whose answer is one of a list (the AVI compressor, say): the
// presenter offers `choices` in order with `initial` selected.
struct ChoiceQuestion {
    std::string text;
    std::string caption;
    std::vector<std::string> choices;
    std::size_t initial = 0;
};

enum class ChoiceOutcome { kChosen, kCancelled, kNobodyToAsk };
struct ChoiceAnswer {
    ChoiceOutcome outcome = ChoiceOutcome::kNobodyToAsk;
    std::size_t index = 0;  // of the choice taken, with kChosen
};

class ZARVO_MESSAGES_API MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Returns when the user has closed the box.
    virtual void Show(const std::string& text, const std::string& caption, MessageBoxIcon icon) = 0;
    // Returns the user's answer; a presenter that has nobody to ask (no
    // display, or a thread it cannot show a window from) keeps this one.
    virtual ChoiceAnswer Ask(const ChoiceQuestion& /*question*/) { return {}; }
};

// Installs `presenter` (not owned; it must outlive its use, or be replaced
// first) and returns the one it replaces; nullptr goes back to standard
// error.
ZARVO_MESSAGES_API MessagePresenter* InstallMessagePresenter(MessagePresenter* presenter);

// Shows the box and returns when it has been closed. Any thread may call it;
// boxes are shown one at a time.
ZARVO_MESSAGES_API void ShowMessageBox(const std::string& text, const std::string& caption,
                                       MessageBoxIcon icon);

// Asks the question and returns when it has been answered; without a
// presenter, or with no choice to offer, nobody is asked.
ZARVO_MESSAGES_API ChoiceAnswer AskChoice(const ChoiceQuestion& question);

}  // namespace platform
