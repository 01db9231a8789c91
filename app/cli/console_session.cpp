#include "app/cli/console_session.h"

#include <glib.h>
#include <poll.h>

#include <thread>

#include "platform/termination_signals.h"

ConsoleSession::ConsoleSession(std::ostream& messages, bool answerYes, int signals)
    : messages_(messages), answerYes_(answerYes), signals_(signals) {}

void ConsoleSession::ShowMessage(const std::string& text, const std::string& caption) {
    messages_ << (caption.empty() ? "" : caption + ": ") << text << "\n";
    messages_.flush();
}

bool ConsoleSession::AskYesNo(const std::string& question) {
    messages_ << question << (answerYes_ ? " Yes" : " No") << "\n";
    messages_.flush();
    return answerYes_;
}

void ConsoleSession::PostCommand(unsigned message, unsigned wParam, std::intptr_t lParam) {
    if (message == kCommandMessage && wParam == kProgressNotification) {
        posted_.push_back(static_cast<int>(lParam));
    }
}

void ConsoleSession::Start(std::chrono::milliseconds period) {
    tickPeriod_ = period;
    tickDue_ = std::chrono::steady_clock::now() + period;
}

void ConsoleSession::TakeSignal() {
    if (signals_ < 0 || stopRequested_) return;
    pollfd ready{signals_, POLLIN, 0};
    if (poll(&ready, 1, 0) != 1 || platform::TakeTerminationSignal(signals_) == 0) return;
    stopRequested_ = true;
    if (onStop_) onStop_();
}

void ConsoleSession::DispatchPendingMessages() {
    // The burning SDK reports on the thread's default context.
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    while (!posted_.empty()) {
        const int value = posted_.front();
        posted_.pop_front();
        if (onProgress_) onProgress_(value);
    }
    if (tickDue_ && std::chrono::steady_clock::now() >= *tickDue_) {
        tickDue_ = std::chrono::steady_clock::now() + tickPeriod_;
        if (onTick_) onTick_();
    }
    TakeSignal();
    if (onDispatched_) onDispatched_();
}

void ConsoleSession::WaitForMessages() {
    DispatchPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}
