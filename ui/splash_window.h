// The start-up splash: a small window without caption that shows the splash
// picture and a progress bar.
#pragma once

#include <QProgressBar>
#include <QWidget>

class SplashWindow : public QWidget {
public:
    explicit SplashWindow(QWidget* parent = nullptr);

    void SetProgress(int percent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    QProgressBar* progress_;
};
