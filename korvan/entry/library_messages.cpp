#include "korvan/entry/library_messages.h"

#include "platform/message_box.h"

namespace korvan {
namespace {

platform::MessageBoxIcon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::kError:
            return platform::MessageBoxIcon::kError;
        case MessageIcon::kWarning:
            return platform::MessageBoxIcon::kWarning;
        case MessageIcon::kQuestion:
            return platform::MessageBoxIcon::kInformation;
        case MessageIcon::kNone:
            break;
    }
    return platform::MessageBoxIcon::kNone;
}

void Present(const EncoderMessage& message) {
    platform::ShowMessageBox(message.text, message.caption, BoxIcon(message.icon));
}

}  // namespace

MessageSink LibraryMessageSink() { return Present; }

void ShowLibraryMessage(std::string text, MessageIcon icon) {
    ShowMessage(LibraryMessageSink(), std::move(text), icon);
}

}  // namespace korvan
