// Zarvo Video Converter: checks its tools behind the splash, then shows the
// main window; the program ends when that window closes.
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include "app/shell/main_window.h"
#include "app/shell/main_window_model.h"
#include "app/shell/startup.h"
#include "app/tools/program_ui.h"
#include "platform/program_folder.h"
#include "ui/splash_window.h"

namespace {

class SplashStartupView : public StartupView {
public:
    void ShowSplash() override {
        splash_.show();
        QCoreApplication::processEvents();
    }
    void SetSplashProgress(int percent) override {
        splash_.SetProgress(percent);
        QCoreApplication::processEvents();
    }
    void Pause(int milliseconds) override {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
    }
    void CloseSplash() override { splash_.close(); }
    void ShowMessage(const std::string& text) override {
        QMessageBox::warning(nullptr, "Zarvo Video Converter", QString::fromStdString(text));
    }

private:
    SplashWindow splash_;
};

// What tool runs show and how they keep the window live while a tool runs.
class QtProgramUi : public ProgramUi {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override {
        QMessageBox::warning(nullptr, QString::fromStdString(caption),
                             QString::fromStdString(text));
    }
    void DispatchPendingMessages() override { QCoreApplication::processEvents(); }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QtProgramUi programUi;
    InstallProgramUi(&programUi);
    const std::string& programFolder = platform::ProgramFolder();
    {
        SplashStartupView startup;
        CheckRequiredTools(programFolder, startup);
    }
    MainWindowModel model(programFolder);
    MainWindow window(model);
    window.exec();
    return 0;
}
