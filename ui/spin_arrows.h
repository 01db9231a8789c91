// An up-down control: two small arrow buttons that step a position within a
// range and report it once the user lets go of the arrow. The number field
// beside it is a widget of its own, so that a number typed there may lie
// outside the range.
#pragma once

#include <QWidget>
#include <functional>

class QToolButton;

class SpinArrows : public QWidget {
public:
    explicit SpinArrows(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    // Kept within the range.
    void SetPosition(int position);
    int Position() const { return position_; }
    // Called with the position when an arrow is released.
    void OnReleased(std::function<void(int)> released) { released_ = std::move(released); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Step(int delta);

    QToolButton* up_;
    QToolButton* down_;
    int minimum_ = 0;
    int maximum_ = 0;
    int position_ = 0;
    std::function<void(int)> released_;
};
