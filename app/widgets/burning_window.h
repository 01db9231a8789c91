// "Zarvo Video Disc Writer": a modal dialog that draws a BurningWindowModel
// at the places its layout gives, forwards the user's clicks to it, and
// gives it timer 0, message boxes and the waiting it asks for.
#pragma once

#include <QDialog>
#include <QTimer>

#include "app/disc/burning_window_model.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeWidget;

class BurningWindow : public QDialog, private BurningWindowView {
public:
    // Opens the model (the SDK starts) once the controls exist.
    explicit BurningWindow(BurningWindowModel& model, QWidget* parent = nullptr);
    ~BurningWindow() override;

protected:
    // Escape and the window manager's close both mean "Cancel".
    void reject() override;

private:
    void SetTimer(int id, int delayMs) override;
    void KillTimer(int id) override;
    void ShowMessageBox(const std::string& text, const std::string& caption,
                        MessageIcon icon) override;
    void WaitForMessages() override;
    void EndDialog(int result) override;
    void Changed() override;

    void CreateControls();
    void Sync();

    BurningWindowModel& model_;
    QTimer fillTimer_;
    bool syncing_ = false;
    QListWidget* messages_ = nullptr;
    QGroupBox* information_ = nullptr;
    QLabel* deviceLabel_ = nullptr;
    QComboBox* devices_ = nullptr;
    QLabel* labelCaption_ = nullptr;
    QLineEdit* volumeLabel_ = nullptr;
    QCheckBox* eject_ = nullptr;
    QCheckBox* finalize_ = nullptr;
    QLabel* bufferCaption_ = nullptr;
    QLabel* buffer_ = nullptr;
    QLabel* bytesCaption_ = nullptr;
    QLabel* bytes_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTreeWidget* fileTree_ = nullptr;
    QPushButton* burnNow_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
