// The program's main window: draws the MainWindowModel at the places its
// layout gives, forwards the user's clicks to it as command ids, and shows
// the dialogs the model asks for. It holds no state of its own beyond the
// widgets.
#pragma once

#include <QDialog>
#include <QPoint>
#include <array>
#include <string>
#include <vector>

#include "app/tools/command_target.h"
#include "app/window/main_window_view.h"
#include "ui/glyph_icons.h"

class ActivityLogWindow;
class DesktopNotifier;
class MainWindowModel;
class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QSizeGrip;
class QPushButton;
class QSystemTrayIcon;
class QToolButton;

class MainWindow : public QDialog, public MainWindowView, public CommandTarget {
public:
    explicit MainWindow(MainWindowModel& model, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Brings every widget in line with the model.
    void Sync();

    // MainWindowView
    std::vector<std::string> ChooseVideoFiles() override;
    std::string ChooseFolder(std::string_view title, const std::string& startFolder) override;
    void ChooseAudioStream(AudioStreamDialogModel& dialog) override;
    void OpenProfileEditor(ProfileEditorModel& editor) override;
    void OpenDiscWriterWizard(DiscWriterWizardModel& wizard) override;
    void OpenBurningWindow(BurningWindowModel& window) override;
    bool OpenHelp(const std::string& path) override;
    void ShowActivityLog(const ActivityLog& log) override;
    void ShowNotification(const std::string& summary, const std::string& body) override;
    bool AskYesNo(const std::string& question) override;
    void ShowWindowAgain() override;
    void SetBusy(bool busy) override;
    void KeepPainting() override;
    void CloseWindow() override;
    void ShowInSystemTray() override;
    void Minimize() override;
    void Maximize() override;
    void Restore() override;
    void Changed() override;

    // CommandTarget: the command message, queued until the event loop (or a
    // tool's message dispatching) handles it.
    void PostCommand(unsigned message, unsigned wParam, std::intptr_t lParam) override;

    // Where files dropped onto the file list arrive.
    QWidget* FileListDropTarget() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Drops onto the file list.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Escape and the window manager's close both mean the Close button.
    void reject() override;

private:
    void CreateControls();
    QToolButton* AddIconButton(int commandId, const QString& tooltip, Glyph glyph);
    QPushButton* AddButton(int commandId, const QString& caption, const QString& tooltip);
    void PlaceControls();
    // The room the texts need in the window's font, for the layout.
    void MeasureTextRoom();
    // The status panes' texts and the fields' tooltips.
    void ShowTexts();

    MainWindowModel& model_;
    bool syncing_ = false;
    bool closing_ = false;
    bool placing_ = false;
    QPoint dragOffset_;
    QSystemTrayIcon* tray_ = nullptr;
    ActivityLogWindow* logWindow_ = nullptr;
    DesktopNotifier* notifier_ = nullptr;

    QLabel* title_ = nullptr;
    QToolButton* help_ = nullptr;
    QToolButton* showLog_ = nullptr;
    QToolButton* systemTray_ = nullptr;
    QToolButton* minimize_ = nullptr;
    QToolButton* maximize_ = nullptr;
    QToolButton* restore_ = nullptr;
    QToolButton* close_ = nullptr;
    QToolButton* burnVideo_ = nullptr;
    std::array<QToolButton*, 9> targets_{};
    QLabel* inputLabel_ = nullptr;
    QListWidget* fileList_ = nullptr;
    QPushButton* browseFiles_ = nullptr;
    QPushButton* chooseDvd_ = nullptr;
    QToolButton* moveUp_ = nullptr;
    QToolButton* moveDown_ = nullptr;
    QToolButton* addFiles_ = nullptr;
    QToolButton* deleteFile_ = nullptr;
    QToolButton* selectAudioStream_ = nullptr;
    QLabel* outputLabel_ = nullptr;
    QLineEdit* outputName_ = nullptr;
    QLineEdit* exportFolder_ = nullptr;
    QPushButton* browseExportFolder_ = nullptr;
    QLabel* profileLabel_ = nullptr;
    QComboBox* profileList_ = nullptr;
    QPushButton* editProfile_ = nullptr;
    QCheckBox* merge_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* convert_ = nullptr;
    std::array<QLabel*, 3> statusPanes_{};
    QSizeGrip* sizeGrip_ = nullptr;
};
