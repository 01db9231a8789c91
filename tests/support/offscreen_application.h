// A QApplication on Qt's offscreen platform for tests of windows: they run
// without a display, and QWidget::grab still paints them. Include it in one
// source file of the test program.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <memory>

namespace test {

class OffscreenApplication : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[5] = "test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

inline ::testing::Environment* const kOffscreenApplication =
    ::testing::AddGlobalTestEnvironment(new OffscreenApplication);

// When ZARVO_SCREENSHOT_FOLDER names a folder, saves a picture of the window
// there as NAME.png, for a person to look at.
inline void SaveScreenshot(QWidget& window, const QString& name) {
    const char* folder = getenv("ZARVO_SCREENSHOT_FOLDER");
    if (!folder || !*folder) return;
    window.grab().save(QString::fromLocal8Bit(folder) + "/" + name + ".png");
}

}  // namespace test
