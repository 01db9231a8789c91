// Zarvo Video Converter: checks its tools behind the splash, then shows the
// main window; the program ends when that window closes, or when it is
// ended from outside (SIGTERM, SIGHUP, SIGINT), which closes the window the
// same way. With ZARVO_SCRIPT set, the window runs that script (see
// automation_script.h).
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "app/program/qt_poll_timer.h"
#include "app/program/qt_script_host.h"
#include "app/rmjob/real_media_job.h"
#include "app/run/runner_queue_tools.h"
#include "app/script/automation_script.h"
#include "app/tools/activity_log.h"
#include "app/tools/program_ui.h"
#include "app/tools/run_context.h"
#include "app/widgets/main_window.h"
#include "app/window/main_window_commands.h"
#include "app/window/main_window_model.h"
#include "app/window/program_hand_offs.h"
#include "app/run/startup.h"
#include "platform/program_folder.h"
#include "platform/temp_folder.h"
#include "platform/termination_signals.h"
#include "platform/writable_files.h"
#include "ui/splash_window.h"

namespace {

// A scripted run has nobody to show the splash to, so it does not wait with
// it, and its messages are collected for the script instead of shown.
enum class RunKind { kInteractive, kScripted };

class SplashStartupView : public StartupView {
public:
    explicit SplashStartupView(RunKind kind) : kind_(kind) {}

    void ShowSplash() override {
        splash_.show();
        QCoreApplication::processEvents();
    }
    void SetSplashProgress(int percent) override {
        splash_.SetProgress(percent);
        QCoreApplication::processEvents();
    }
    void Pause(int milliseconds) override {
        if (kind_ == RunKind::kScripted) return;
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
    }
    void CloseSplash() override { splash_.close(); }
    void ShowMessage(const std::string& text) override {
        if (kind_ == RunKind::kScripted) {
            messages.push_back(text);
            return;
        }
        QMessageBox::warning(nullptr, "Zarvo Video Converter", QString::fromStdString(text));
    }

    std::vector<std::string> messages;

private:
    RunKind kind_;
    SplashWindow splash_;
};

// What tool runs show and ask, and how they keep the window live while a
// tool runs. While the window probes files it only repaints: a click then
// would change the list being probed, so user input waits until the probing
// is done. A scripted run's script answers instead of the user.
class QtProgramUi : public ProgramUi {
public:
    void SetModel(const MainWindowModel* model) { model_ = model; }
    void SetScript(ScriptRunner* script) { script_ = script; }

    void ShowMessage(const std::string& text, const std::string& caption) override {
        if (script_) {
            script_->AnswerMessageBox(text, "OK");
            return;
        }
        QMessageBox::warning(nullptr, QString::fromStdString(caption),
                             QString::fromStdString(text));
    }
    bool AskYesNo(const std::string& question) override {
        if (script_) return script_->AskYesNo(question);
        return QMessageBox::question(
                   nullptr, "Zarvo Video Converter", QString::fromStdString(question),
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    }
    void DispatchPendingMessages() override {
        const bool busy = model_ && model_->Busy();
        QCoreApplication::processEvents(busy ? QEventLoop::ExcludeUserInputEvents
                                             : QEventLoop::AllEvents);
    }

private:
    const MainWindowModel* model_ = nullptr;
    ScriptRunner* script_ = nullptr;
};

const char* Environment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

std::string HomeFolder() {
    const char* home = Environment("HOME");
    return home ? home : "";
}

}  // namespace

int main(int argc, char** argv) {
    // Caught from the start, so that a signal during start-up is not lost: it
    // closes the window as soon as there is one.
    const int terminationSignals = platform::CatchTerminationSignals();
    // Before anything asks for a temporary name: two programs converting at
    // once must never write into each other's temporary files.
    const platform::ProgramTempFolder temporaryNames;
    QApplication application(argc, argv);
    const std::string& programFolder = platform::ProgramFolder();
    const char* scriptPath = Environment("ZARVO_SCRIPT");
    std::string scriptText;
    if (scriptPath) {
        std::ifstream script(scriptPath, std::ios::binary);
        if (!script) {
            std::fprintf(stderr, "ZarvoVideoConverter: cannot read the script %s\n", scriptPath);
            return 2;
        }
        scriptText.assign(std::istreambuf_iterator<char>(script), std::istreambuf_iterator<char>());
    }

    SplashStartupView startup(scriptPath ? RunKind::kScripted : RunKind::kInteractive);
    CheckRequiredTools(programFolder, startup);

    PrepareUserFiles(programFolder, platform::WritableFolder(), HomeFolder());
    QtProgramUi programUi;
    ActivityLog activityLog;
    RunContext context(programUi, activityLog);
    MainWindowModel model(context, programFolder, platform::WritableFolder(), HomeFolder());
    programUi.SetModel(&model);
    MainWindow window(model);
    RunnerQueueTools tools(context, &window);
    model.SetProbe(&tools);
    model.SetQueueTools(&tools);
    ProgramHandOffs handOffs(context, model);
    model.SetHandOffs(&handOffs);
    // RealVideo goes through the conversion host; the job is made before
    // its timer's handler can run and goes (stopping the host) before it.
    std::unique_ptr<RealMediaJob> realMedia;
    QtPollTimer jobPollTimer([&realMedia] {
        if (realMedia) realMedia->OnPollTimer();
    });
    realMedia = std::make_unique<RealMediaJob>(
        programFolder, platform::WritableFolder(),
        RealMediaJob::Services{[&tools](const std::string& file) { return tools.Probe(file); },
                               &window, &jobPollTimer, &context});
    model.SetRealMediaHandOff(realMedia.get());
    // The window ends the program itself; hiding it in the system tray
    // must not.
    QApplication::setQuitOnLastWindowClosed(false);
    window.show();

    // A tool run dispatches the program's events while it waits for the
    // tool, so the close also reaches a conversion under way and stops it.
    std::unique_ptr<QSocketNotifier> endedFromOutside;
    if (terminationSignals >= 0) {
        endedFromOutside =
            std::make_unique<QSocketNotifier>(terminationSignals, QSocketNotifier::Read);
        QObject::connect(endedFromOutside.get(), &QSocketNotifier::activated, &window,
                         [&model, terminationSignals] {
                             platform::TakeTerminationSignal(terminationSignals);
                             model.CloseWithoutAsking();
                         });
    }

    std::unique_ptr<QtScriptHost> host;
    std::unique_ptr<ScriptRunner> runner;
    if (scriptPath) {
        const char* statePath = Environment("ZARVO_STATE");
        host = std::make_unique<QtScriptHost>(window, model);
        runner = std::make_unique<ScriptRunner>(context, model, window, *host, scriptText,
                                                statePath ? statePath : "");
        for (const std::string& message : startup.messages) runner->AnswerMessageBox(message, "OK");
        programUi.SetScript(runner.get());
        model.SetView(runner.get());
        QTimer::singleShot(0, &window, [&runner] { runner->Run(); });
    }
    const int result = application.exec();
    model.SetRealMediaHandOff(nullptr);
    realMedia.reset();
    programUi.SetScript(nullptr);
    return result;
}
