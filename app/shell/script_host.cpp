#include "app/shell/script_host.h"

#include <QPixmap>

#include "app/shell/main_window.h"
#include "app/shell/main_window_model.h"

QtScriptHost::QtScriptHost(MainWindow& window, MainWindowModel& model)
    : window_(window), model_(model) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (call_) call_();
    });
}

void QtScriptHost::ClickLater(int commandId, int delayMs) {
    CallLater([this, commandId] { model_.OnCommand(commandId); }, delayMs);
}

void QtScriptHost::CallLater(std::function<void()> call, int delayMs) {
    call_ = std::move(call);
    timer_.start(delayMs);
}

void QtScriptHost::CancelClickLater() { timer_.stop(); }

bool QtScriptHost::SaveScreenshot(const std::string& path) {
    return window_.grab().save(QString::fromStdString(path), "PNG");
}

int QtScriptHost::WindowWidth() const { return window_.width(); }

int QtScriptHost::WindowHeight() const { return window_.height(); }
