#include "app/program/qt_script_host.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMimeData>
#include <QPixmap>
#include <QUrl>

#include "app/widgets/main_window.h"
#include "app/window/main_window_model.h"

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

void QtScriptHost::PressEscapeLater(int delayMs) {
    CallLater(
        [this] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(&window_, &press);
        },
        delayMs);
}

bool QtScriptHost::SaveScreenshot(const std::string& path) {
    return window_.grab().save(QString::fromStdString(path), "PNG");
}

int QtScriptHost::WindowWidth() const { return window_.width(); }

int QtScriptHost::WindowHeight() const { return window_.height(); }

void QtScriptHost::DropOnFileList(const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
    data.setUrls(urls);
    QWidget* target = window_.FileListDropTarget();
    const QPointF centre(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

void QtScriptHost::Wait(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}
