#include "korvan/entry/library_messages.h"

#include "platform/message_box.h"

namespace korvan {
namespace {

void Present(const EncoderMessage& message) {
    platform::ShowMessageBox(message.text, message.caption,
                             message.icon == MessageIcon::kError ? platform::MessageBoxIcon::kError
                                                                 : platform::MessageBoxIcon::kNone);
}

}  // namespace

MessageSink LibraryMessageSink() { return Present; }

void ShowLibraryMessage(std::string text, MessageIcon icon) {
    ShowMessage(LibraryMessageSink(), std::move(text), icon);
}

}  // namespace korvan
