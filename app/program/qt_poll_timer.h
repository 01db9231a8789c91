// A PollTimer on a QTimer of the user-interface thread.
#pragma once

#include <QTimer>
#include <functional>

#include "app/rmjob/poll_timer.h"

class QtPollTimer : public PollTimer {
public:
    explicit QtPollTimer(std::function<void()> tick);

    void Start(std::chrono::milliseconds period) override { timer_.start(period); }
    void Stop() override { timer_.stop(); }
    bool Running() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};
