// What the command-line converter's runs are given in place of a window:
// messages on standard error, Yes/No questions answered as the command line
// says (and said), the tools' progress notifications handed on when the run
// dispatches, Ctrl-C, SIGTERM and SIGHUP turned into a stop, the burning
// SDK's events, and a poll timer for the RealMedia job.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "app/rmjob/poll_timer.h"
#include "app/tools/command_target.h"
#include "app/tools/program_ui.h"

class ConsoleSession : public ProgramUi, public CommandTarget, public PollTimer {
public:
    // `answerYes` is the answer to every question; `signals` the descriptor
    // of platform::CatchTerminationSignals (-1 for none).
    ConsoleSession(std::ostream& messages, bool answerYes, int signals);

    // Each progress notification (0..100, -1, -2) as it is dispatched.
    void OnProgress(std::function<void(int value)> handler) { onProgress_ = std::move(handler); }
    // Called once, when the first termination signal is dispatched.
    void OnStop(std::function<void()> handler) { onStop_ = std::move(handler); }
    // The poll timer's tick.
    void OnTick(std::function<void()> handler) { onTick_ = std::move(handler); }
    // Called after every dispatch, to redraw what the terminal shows.
    void OnDispatched(std::function<void()> handler) { onDispatched_ = std::move(handler); }

    // A termination signal arrived.
    bool StopRequested() const { return stopRequested_; }
    // Dispatches and waits a little (a loop that waits for an event).
    void WaitForMessages();

    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& question) override;
    void DispatchPendingMessages() override;

    void PostCommand(unsigned message, unsigned wParam, std::intptr_t lParam) override;

    void Start(std::chrono::milliseconds period) override;
    void Stop() override { tickDue_.reset(); }
    bool Running() const override { return tickDue_.has_value(); }

private:
    void TakeSignal();

    std::ostream& messages_;
    bool answerYes_;
    int signals_;
    bool stopRequested_ = false;
    std::deque<int> posted_;
    std::function<void(int)> onProgress_;
    std::function<void()> onStop_;
    std::function<void()> onTick_;
    std::function<void()> onDispatched_;
    std::chrono::milliseconds tickPeriod_{0};
    std::optional<std::chrono::steady_clock::time_point> tickDue_;
};
