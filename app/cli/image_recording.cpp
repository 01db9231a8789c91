#include "app/cli/image_recording.h"

#include <chrono>
#include <optional>

#include "app/cli/console_session.h"
#include "app/disc/burning_sdk.h"
#include "app/disc/burning_window_model.h"

namespace {

using Clock = std::chrono::steady_clock;

// The burning window's requests as a run without a window meets them: its
// timer waited out, its message boxes kept for the failure text.
class RecordingView : public BurningWindowView {
public:
    explicit RecordingView(ConsoleSession& session) : session_(session) {}

    void SetTimer(int, int delayMs) override {
        due_ = Clock::now() + std::chrono::milliseconds(delayMs);
    }
    void KillTimer(int) override { due_.reset(); }
    void ShowMessageBox(const std::string& text, const std::string&, MessageIcon icon) override {
        if (icon == MessageIcon::kStop) lastError_ = text;
    }
    void WaitForMessages() override { session_.WaitForMessages(); }

    // Lets the window's fill timer fire when it is due.
    void RunTimer(BurningWindowModel& window) {
        while (due_ && Clock::now() < *due_) session_.WaitForMessages();
        if (due_) window.OnTimer(kFillProjectTimer);
    }
    const std::string& LastError() const { return lastError_; }

private:
    ConsoleSession& session_;
    std::optional<Clock::time_point> due_;
    std::string lastError_;
};

std::string LastLine(const std::vector<std::string>& lines) {
    return lines.empty() ? std::string("the burning SDK gave no reason") : lines.back();
}

}  // namespace

ImageRecording RecordImage(const ImageRequest& request, ConsoleSession& session) {
    std::string error;
    const BurningSdk* sdk = LoadBurningSdk(request.programFolder, error);
    if (!sdk) return {{}, "The disc-burning library cannot be loaded: " + error};
    BurningWindowModel window(*sdk, request.kind, request.files, request.exportFolder);
    window.SetImageFolder(request.imageFolder);
    RecordingView view(session);
    window.SetView(&view);
    window.Open();
    // The fill timer scans a SuperVCD's or VideoCD's files before it returns.
    view.RunTimer(window);
    // The image recorder is the last device the SDK lists.
    const std::vector<std::string>& devices = window.Devices();
    for (std::size_t i = devices.size(); i-- > 0;) {
        if (devices[i].ends_with(FOXBURNER_IMAGE_RECORDER_TEXT)) {
            window.SelectDevice(static_cast<int>(i));
            break;
        }
    }
    ImageRecording recording;
    if (window.IsCommandAvailable(kCmdBurnNow) && !session.StopRequested()) {
        window.OnCommand(kCmdBurnNow);
        while (window.Burning() && !window.Closed()) {
            session.WaitForMessages();
            if (session.StopRequested() && window.IsCommandAvailable(kCmdCancelBurn)) {
                window.OnCommand(kCmdCancelBurn);
            }
        }
        recording.file = window.ImageFile();
    }
    if (recording.file.empty()) {
        recording.failure =
            view.LastError().empty() ? LastLine(window.Messages()) : view.LastError();
    }
    if (!window.Closed()) window.OnCommand(kCmdCancelBurn);
    window.SetView(nullptr);
    return recording;
}
