// The activity log in a window of its own: the text as it stood when opened
// (or last refreshed), and a button to save it to a file. It does not wait:
// a conversion goes on while it is open.
#pragma once

#include <QDialog>

class ActivityLog;
class QPlainTextEdit;

class ActivityLogWindow : public QDialog {
public:
    ActivityLogWindow(const ActivityLog& log, QWidget* parent);

    void Refresh();

private:
    void Save();

    const ActivityLog& log_;
    QPlainTextEdit* text_ = nullptr;
};
