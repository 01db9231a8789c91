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

media::CompressorDialog LibraryCompressorDialog() {
    return [](const media::CompressorOptions& current,
              std::span<const media::VideoCompressor> offered, uint32_t) {
        platform::ChoiceQuestion question;
        question.text = kCompressorQuestion;
        question.caption = std::string(kApplicationTitle) + " - " + kCompressorCaption;
        for (const media::VideoCompressor& compressor : offered) {
            if (compressor.fourcc == current.handler) question.initial = question.choices.size();
            question.choices.emplace_back(compressor.name);
        }
        const platform::ChoiceAnswer answer = platform::AskChoice(question);
        media::CompressorChoice choice{media::DialogAnswer::kNobodyToAsk, current};
        switch (answer.outcome) {
            case platform::ChoiceOutcome::kChosen:
                choice.answer = media::DialogAnswer::kConfirmed;
                choice.options.handler = offered[answer.index].fourcc;
                // The block belongs to the codec it was saved for.
                if (choice.options.handler != current.handler) choice.options.parameters.clear();
                break;
            case platform::ChoiceOutcome::kCancelled:
                choice.answer = media::DialogAnswer::kCancelled;
                break;
            case platform::ChoiceOutcome::kNobodyToAsk:
                break;
        }
        return choice;
    };
}

void ShowLibraryMessage(std::string text, MessageIcon icon) {
    ShowMessage(LibraryMessageSink(), std::move(text), icon);
}

}  // namespace korvan
