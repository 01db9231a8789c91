#include "ui/splash_window.h"

#include <QPainter>

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      picture_(":/images/splash.png"),
      progress_(new QProgressBar(this)) {
    setFixedSize(311, 215);
    progress_->setGeometry(19, 159, 161, 10);
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
}

void SplashWindow::SetProgress(int percent) { progress_->setValue(percent); }

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), picture_);
}
