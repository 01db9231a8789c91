#include "app/program/qt_poll_timer.h"

QtPollTimer::QtPollTimer(std::function<void()> tick) {
    QObject::connect(&timer_, &QTimer::timeout, [tick = std::move(tick)] { tick(); });
}
