// The program's main window: draws the MainWindowModel and hands it the
// user's commands.
#pragma once

#include <QDialog>

class MainWindowModel;

class MainWindow : public QDialog {
public:
    explicit MainWindow(MainWindowModel& model, QWidget* parent = nullptr);

private:
    MainWindowModel& model_;
};
