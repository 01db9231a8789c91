#include "platform/message_box.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {

// Serialises the boxes and guards the presenter. Recursive, so that a
// presenter whose box dispatches messages may meet a handler that shows a box
// of its own on the same thread.
std::recursive_mutex presenterMutex;
MessagePresenter* installed = nullptr;

void PrintMessage(const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
    std::fflush(stderr);
}

}  // namespace

MessagePresenter* InstallMessagePresenter(MessagePresenter* presenter) {
    std::lock_guard lock(presenterMutex);
    MessagePresenter* previous = installed;
    installed = presenter;
    return previous;
}

void ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxIcon icon) {
    std::lock_guard lock(presenterMutex);
    if (installed) {
        installed->Show(text, caption, icon);
    } else {
        PrintMessage(text, caption);
    }
}

ChoiceAnswer AskChoice(const ChoiceQuestion& question) {
    std::lock_guard lock(presenterMutex);
    if (!installed || question.choices.empty()) return {};
    ChoiceAnswer answer = installed->Ask(question);
    // An answer outside the list is none.
    if (answer.outcome == ChoiceOutcome::kChosen && answer.index >= question.choices.size()) {
        return {ChoiceOutcome::kCancelled, 0};
    }
    return answer;
}

}  // namespace platform
