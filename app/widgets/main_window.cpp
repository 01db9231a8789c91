#include "app/widgets/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QSizeGrip>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QUrl>

#include "app/profiles/conversion_target.h"
#include "app/widgets/activity_log_window.h"
#include "app/widgets/audio_stream_dialog.h"
#include "app/widgets/burning_window.h"
#include "app/widgets/desktop_notifier.h"
#include "app/widgets/disc_writer_wizard.h"
#include "app/widgets/profile_editor.h"
#include "app/window/main_window_commands.h"
#include "app/window/main_window_model.h"
#include "ui/file_dialogs.h"
#include "ui/readable_text.h"

namespace {

const QColor kTitleBarTop(0x2f, 0x4f, 0x7f);
const QColor kTitleBarBottom(0x1f, 0x36, 0x5c);
const QColor kWindowBackground(0xee, 0xf1, 0xf5);
const QColor kIconColor(0x2f, 0x3e, 0x52);

// Target indices in button order.
constexpr std::array<int, 9> kTargetOrder = {kTargetAvi, kTargetMpeg,   kTargetWmv,
                                             kTargetDvd, kTarget3gp,    kTargetIpod,
                                             kTargetPsp, kTargetIphone, kTargetZune};

const char* const kStyleSheet = R"(
QDialog { background: #eef1f5; }
QLabel#title { color: white; font-weight: bold; }
QToolButton#frame { border: none; border-radius: 3px; background: transparent; color: white; }
QToolButton#frame:hover { background: rgba(255, 255, 255, 40); }
QToolButton#closeButton { border: none; border-radius: 3px; background: transparent; }
QToolButton#closeButton:hover { background: #c84b4b; }
QToolButton#target, QToolButton#burn {
    border: 1px solid transparent; border-radius: 4px; background: transparent;
    font-weight: bold; color: #24364f;
}
QToolButton#target:hover, QToolButton#burn:hover { background: #dde5f0; border-color: #b9c6d8; }
QToolButton#target:checked {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #c6d6ec, stop:1 #dbe6f5);
    border: 1px solid #7f9cc4; color: #102a4c;
}
QToolButton#icon { border: 1px solid #b9c3d0; border-radius: 3px; background: #f8f9fb; }
QToolButton#icon:hover { background: #e3eaf3; }
QListWidget, QLineEdit, QComboBox { border: 1px solid #aeb8c6; background: white; color: #1e2833; }
QLineEdit[readOnly="true"] { background: #f7f8fa; color: #222; }
QProgressBar { border: 1px solid #aeb8c6; border-radius: 2px; background: white; text-align: center;
               color: #1e2833; }
QProgressBar::chunk { background: #4f7fbf; }
QPushButton#convert { font-weight: bold; }
QLabel#status { border: 1px solid #c3cad4; border-top-color: #9aa4b2; background: #e6eaf0;
                padding-left: 3px; color: #1e2833; }
)";

// The status panes' frame and padding, and what a label needs besides its
// text, in pixels.
constexpr int kPaneTextMargin = 12;
constexpr int kLabelTextMargin = 4;
// The widest texts the time panes show; hours past 99 are cut with a tooltip.
const char* const kWidestTimeTexts[] = {" Finished: 00:00:00", " Remain: 00:00:00"};

QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

// The local files and folders a drag carries.
std::vector<std::string> DroppedPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data) return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    }
    return paths;
}

std::vector<std::string> ToPaths(const QStringList& list) {
    std::vector<std::string> paths;
    for (const QString& path : list) paths.push_back(path.toStdString());
    return paths;
}

}  // namespace

MainWindow::MainWindow(MainWindowModel& model, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), model_(model) {
    setWindowIcon(QIcon(":/images/zarvo.png"));
    setStyleSheet(QString(kStyleSheet) + kReadableListsStyleSheet);
    CreateControls();
    UseReadableDropDowns(this);
    MeasureTextRoom();
    model_.SetView(this);
    model_.Initialise();
    Sync();
}

MainWindow::~MainWindow() { model_.SetView(nullptr); }

QToolButton* MainWindow::AddIconButton(int commandId, const QString& tooltip, Glyph glyph) {
    auto* button = new QToolButton(this);
    button->setObjectName("icon");
    button->setToolTip(tooltip);
    button->setIcon(GlyphIcon(glyph, kIconColor, 16));
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this,
            [this, commandId] { model_.OnCommand(commandId); });
    return button;
}

QPushButton* MainWindow::AddButton(int commandId, const QString& caption, const QString& tooltip) {
    auto* button = new QPushButton(caption, this);
    button->setToolTip(tooltip);
    // Enter in the window presses nothing by itself.
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this,
            [this, commandId] { model_.OnCommand(commandId); });
    return button;
}

void MainWindow::CreateControls() {
    title_ = new QLabel(this);
    title_->setObjectName("title");
    title_->setAttribute(Qt::WA_TransparentForMouseEvents);

    const auto frameButton = [this](int commandId, const QString& tooltip, Glyph glyph) {
        QToolButton* button = AddIconButton(commandId, tooltip, glyph);
        button->setObjectName(commandId == kCmdClose ? "closeButton" : "frame");
        button->setIcon(GlyphIcon(glyph, Qt::white, 14));
        return button;
    };
    help_ = frameButton(kCmdHelp, "Click to Get Help", Glyph::kHelp);
    showLog_ = new QToolButton(this);
    showLog_->setObjectName("frame");
    showLog_->setText("Log");
    showLog_->setToolTip("What the converting tools did in this session");
    showLog_->setFocusPolicy(Qt::NoFocus);
    connect(showLog_, &QToolButton::clicked, this, [this] { model_.OnCommand(kCmdShowLog); });
    systemTray_ = frameButton(kCmdSystemTray, "System tray", Glyph::kSystemTray);
    minimize_ = frameButton(kCmdMinimize, "Minimize", Glyph::kMinimize);
    maximize_ = frameButton(kCmdMaximize, "Maximize", Glyph::kMaximize);
    restore_ = frameButton(kCmdRestore, "Restore", Glyph::kRestore);
    close_ = frameButton(kCmdClose, "Close", Glyph::kClose);

    burnVideo_ = new QToolButton(this);
    burnVideo_->setObjectName("burn");
    burnVideo_->setText("Burn\nVideo");
    burnVideo_->setToolTip("Burn Video");
    connect(burnVideo_, &QToolButton::clicked, this, [this] { model_.OnCommand(kCmdBurnVideo); });

    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    for (std::size_t i = 0; i < targets_.size(); ++i) {
        const TargetInfo info = *InfoOfTarget(kTargetOrder[i]);
        auto* button = new QToolButton(this);
        button->setObjectName("target");
        button->setCheckable(true);
        button->setText(
            QString::fromUtf8(info.caption.data(), static_cast<qsizetype>(info.caption.size())));
        button->setToolTip(
            QString::fromUtf8(info.tooltip.data(), static_cast<qsizetype>(info.tooltip.size())));
        button->setFocusPolicy(Qt::NoFocus);
        group->addButton(button);
        const int commandId = info.commandId;
        connect(button, &QToolButton::clicked, this,
                [this, commandId] { model_.OnCommand(commandId); });
        targets_[i] = button;
    }

    inputLabel_ = new QLabel("Input Filename:", this);
    fileList_ = new QListWidget(this);
    fileList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Long paths keep their start and their file name; the tooltip has all.
    fileList_->setTextElideMode(Qt::ElideMiddle);
    connect(fileList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!syncing_) model_.SelectFile(row);
    });
    // Files from a file manager; the list's own item moving stays off.
    fileList_->setDragDropMode(QAbstractItemView::NoDragDrop);
    fileList_->viewport()->setAcceptDrops(true);
    fileList_->viewport()->installEventFilter(this);
    browseFiles_ = AddButton(kCmdBrowseFiles, "Browse", "Click to browse input files");
    chooseDvd_ = AddButton(kCmdChooseDvd, "DVD", "Click to select DVD drive");
    moveUp_ = AddIconButton(kCmdMoveUp, "Move up", Glyph::kMoveUp);
    moveDown_ = AddIconButton(kCmdMoveDown, "Move down", Glyph::kMoveDown);
    addFiles_ = AddIconButton(kCmdAddFiles, "Add file(s) to join", Glyph::kAddFiles);
    deleteFile_ = AddIconButton(kCmdDeleteFile, "Delete file from list", Glyph::kDeleteFile);
    selectAudioStream_ =
        AddIconButton(kCmdSelectAudioStream, "Select DVD audio stream", Glyph::kAudioStream);

    outputLabel_ = new QLabel(this);
    outputName_ = new QLineEdit(this);
    outputName_->setReadOnly(true);
    exportFolder_ = new QLineEdit(this);
    exportFolder_->setReadOnly(true);
    browseExportFolder_ =
        AddButton(kCmdBrowseExportFolder, "Browse...", "Click to browse export folder");

    profileLabel_ = new QLabel(this);
    profileList_ = new QComboBox(this);
    connect(profileList_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!syncing_) model_.SelectProfile(index);
    });
    editProfile_ = AddButton(kCmdEditProfile, "Edit Profile...", "Profile Editor");

    merge_ = new QCheckBox("Merge", this);
    connect(merge_, &QCheckBox::clicked, this, [this] { model_.ToggleMerge(); });

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setTextVisible(true);
    convert_ = AddButton(kCmdConvert, "Convert Now!", QString());
    convert_->setObjectName("convert");

    for (QLabel*& pane : statusPanes_) {
        pane = new QLabel(this);
        pane->setObjectName("status");
    }
    // A frameless window is made larger from its corner.
    sizeGrip_ = new QSizeGrip(this);
}

void MainWindow::MeasureTextRoom() {
    ensurePolished();
    const QFontMetrics metrics(font());
    int labelWidth = 0;
    QStringList labels = {inputLabel_->text(), "Output Filename:", "Burn from"};
    for (int target = 0; target < kTargetCount; ++target) {
        if (const auto info = InfoOfTarget(target)) {
            labels << QString::fromUtf8(info->profileLabel.data(),
                                        static_cast<qsizetype>(info->profileLabel.size())) +
                          ":";
        }
    }
    for (const QString& label : labels) {
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(label) + kLabelTextMargin);
    }
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics boldMetrics(bold);
    int buttonWidth = 0;
    for (const char* caption : {"Convert Now!", "Stop Conversion"}) {
        buttonWidth = std::max(buttonWidth, boldMetrics.horizontalAdvance(caption));
    }
    for (const char* caption : {"Browse...", "Edit Profile..."}) {
        buttonWidth = std::max(buttonWidth, metrics.horizontalAdvance(caption));
    }
    // "Browse" and "DVD" share the column, 5 pixels apart.
    const int halfButton =
        std::max(metrics.horizontalAdvance("Browse"), metrics.horizontalAdvance("DVD")) +
        kButtonTextMargin;
    buttonWidth = std::max(buttonWidth + kButtonTextMargin, 2 * halfButton + 5);
    int timeWidth = 0;
    for (const char* text : kWidestTimeTexts) {
        timeWidth = std::max(timeWidth, metrics.horizontalAdvance(text) + kPaneTextMargin);
    }
    model_.SetTextRoom(labelWidth, buttonWidth, timeWidth);
}

void MainWindow::PlaceControls() {
    const MainWindowLayout l = model_.Layout();
    title_->setGeometry(l.log.right + 6, 0, l.systemTray.left - l.log.right - 10,
                        l.titleBar.bottom);
    help_->setGeometry(ToQRect(l.help));
    showLog_->setGeometry(ToQRect(l.log));
    systemTray_->setGeometry(ToQRect(l.systemTray));
    minimize_->setGeometry(ToQRect(l.minimize));
    maximize_->setGeometry(ToQRect(l.maximize));
    restore_->setGeometry(ToQRect(l.maximize));
    close_->setGeometry(ToQRect(l.close));
    burnVideo_->setGeometry(ToQRect(l.burnVideo).adjusted(0, 2, 0, -2));
    for (std::size_t i = 0; i < targets_.size(); ++i) {
        targets_[i]->setGeometry(ToQRect(l.targets[i]).adjusted(1, 2, -1, -2));
    }
    inputLabel_->setGeometry(ToQRect(l.inputLabel));
    fileList_->setGeometry(ToQRect(l.fileList));
    browseFiles_->setGeometry(ToQRect(l.browseFiles));
    chooseDvd_->setGeometry(ToQRect(l.chooseDvd));
    moveUp_->setGeometry(ToQRect(l.moveUp));
    moveDown_->setGeometry(ToQRect(l.moveDown));
    addFiles_->setGeometry(ToQRect(l.addFiles));
    deleteFile_->setGeometry(ToQRect(l.deleteFile));
    selectAudioStream_->setGeometry(ToQRect(l.selectAudioStream));
    outputLabel_->setGeometry(ToQRect(l.outputLabel));
    outputName_->setGeometry(ToQRect(l.outputName));
    exportFolder_->setGeometry(ToQRect(l.exportFolder));
    browseExportFolder_->setGeometry(ToQRect(l.browseExportFolder));
    profileLabel_->setGeometry(ToQRect(l.profileLabel));
    profileList_->setGeometry(ToQRect(l.profileList));
    editProfile_->setGeometry(ToQRect(l.editProfile));
    merge_->setGeometry(ToQRect(l.merge));
    progress_->setGeometry(ToQRect(l.progress));
    convert_->setGeometry(ToQRect(l.convert));
    for (std::size_t i = 0; i < statusPanes_.size(); ++i) {
        statusPanes_[i]->setGeometry(ToQRect(l.statusPanes[i]));
    }
    for (QToolButton* button : targets_) FitCaption(button);
    FitCaption(burnVideo_);
    FitCaption(showLog_);
    for (QLabel* label : {inputLabel_, outputLabel_, profileLabel_}) FitCaption(label);
    for (QPushButton* button : {browseFiles_, chooseDvd_, browseExportFolder_, editProfile_}) {
        FitCaption(button);
    }
    const int grip = sizeGrip_->sizeHint().width();
    sizeGrip_->setGeometry(l.width - grip, l.height - grip, grip, grip);
    sizeGrip_->setVisible(!model_.Maximized());
    sizeGrip_->raise();
    // The standard size for the list is the smallest; the user may give more.
    const MainWindowLayout smallest = model_.StandardLayout();
    setMinimumSize(smallest.width, smallest.height);
    if (!model_.Maximized() && size() != QSize(l.width, l.height)) {
        placing_ = true;
        resize(l.width, l.height);
        placing_ = false;
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (placing_) return;
    model_.SetWindowSize(width(), height());
    PlaceControls();
    ShowTexts();
}

void MainWindow::Sync() {
    syncing_ = true;
    setWindowTitle(ToQString(model_.Title()));
    title_->setText(ToQString(model_.Title()));
    PlaceControls();

    const bool inputs = model_.InputsEnabled();
    for (std::size_t i = 0; i < targets_.size(); ++i) {
        targets_[i]->setChecked(kTargetOrder[i] == model_.Target());
        targets_[i]->setEnabled(inputs);
    }

    const auto& texts = model_.FileListTexts();
    bool sameList = fileList_->count() == static_cast<int>(texts.size());
    for (int i = 0; sameList && i < fileList_->count(); ++i) {
        sameList = fileList_->item(i)->text() == ToQString(texts[static_cast<std::size_t>(i)]);
    }
    if (!sameList) {
        fileList_->clear();
        for (const std::string& text : texts) {
            auto* item = new QListWidgetItem(ToQString(text), fileList_);
            item->setToolTip(item->text());
        }
    }
    fileList_->setCurrentRow(model_.SelectedFile());

    QStringList names;
    const ProfileTable& table = model_.CurrentProfiles();
    for (int i = 0; i < table.count; ++i) {
        names << ToQString(table.profiles[static_cast<std::size_t>(i)].name);
    }
    QStringList shown;
    for (int i = 0; i < profileList_->count(); ++i) shown << profileList_->itemText(i);
    if (shown != names) {
        profileList_->clear();
        profileList_->addItems(names);
    }
    profileList_->setCurrentIndex(table.count > 0 ? model_.SelectedProfile() : -1);
    profileList_->setEnabled(inputs);
    profileLabel_->setText(ToQString(model_.ProfileLabel()));
    outputLabel_->setText(ToQString(model_.OutputLabel()));
    outputName_->setText(ToQString(model_.OutputNameText()));
    exportFolder_->setText(ToQString(model_.ExportFolder()));

    browseFiles_->setEnabled(inputs);
    chooseDvd_->setEnabled(inputs);
    browseExportFolder_->setEnabled(inputs);
    editProfile_->setEnabled(model_.EditProfileEnabled());
    for (QToolButton* button : {moveUp_, moveDown_, addFiles_, deleteFile_}) {
        button->setVisible(model_.ListButtonsVisible());
        button->setEnabled(inputs);
    }
    selectAudioStream_->setVisible(model_.AudioStreamButtonVisible());
    selectAudioStream_->setEnabled(model_.AudioStreamButtonEnabled());
    merge_->setChecked(model_.Merge());
    merge_->setEnabled(model_.MergeEnabled());
    maximize_->setVisible(!model_.Maximized());
    restore_->setVisible(model_.Maximized());

    progress_->setRange(0, model_.ProgressMaximum());
    progress_->setValue(model_.Progress());
    progress_->setFormat(ToQString(model_.ProgressText()));
    convert_->setText(ToQString(model_.ConvertCaption()));
    FitCaption(convert_);
    ShowTexts();
    syncing_ = false;
    update();
}

void MainWindow::ShowTexts() {
    for (std::size_t i = 0; i < statusPanes_.size(); ++i) {
        ShowElided(statusPanes_[i], ToQString(model_.StatusTexts()[i]));
    }
    // The fields scroll rather than cut; their tooltips show them whole.
    outputName_->setToolTip(outputName_->text());
    exportFolder_->setToolTip(exportFolder_->text());
}

void MainWindow::Changed() { Sync(); }

void MainWindow::PostCommand(unsigned message, unsigned wParam, std::intptr_t lParam) {
    if (message != kCommandMessage) return;
    QMetaObject::invokeMethod(
        this,
        [this, wParam, lParam] {
            if (wParam == kProgressNotification) {
                model_.OnProgressNotification(static_cast<int>(lParam));
            } else {
                model_.OnCommand(static_cast<int>(wParam));
            }
        },
        Qt::QueuedConnection);
}

std::vector<std::string> MainWindow::ChooseVideoFiles() {
    return ToPaths(ChooseFiles(this, kOpenFilesTitle, kVideoFileFilters));
}

std::string MainWindow::ChooseFolder(std::string_view title, const std::string& startFolder) {
    return QFileDialog::getExistingDirectory(
               this, QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
               ToQString(startFolder))
        .toStdString();
}

void MainWindow::ChooseAudioStream(AudioStreamDialogModel& dialog) {
    AudioStreamDialog window(dialog, this);
    window.exec();
}

void MainWindow::OpenProfileEditor(ProfileEditorModel& editor) {
    ProfileEditor window(editor, this);
    window.exec();
}

void MainWindow::OpenDiscWriterWizard(DiscWriterWizardModel& wizard) {
    DiscWriterWizard window(wizard, this);
    window.exec();
}

void MainWindow::OpenBurningWindow(BurningWindowModel& window) {
    BurningWindow dialog(window, this);
    dialog.exec();
}

bool MainWindow::OpenHelp(const std::string& path) {
    const QString opener = QStandardPaths::findExecutable("xdg-open");
    if (opener.isEmpty()) return false;
    // xdg-open finds the browser; when there is none it ends with an error.
    auto* process = new QProcess(this);
    connect(process, &QProcess::finished, this, [this, process](int exitCode) {
        if (exitCode != 0) model_.OnHelpNotShown();
        process->deleteLater();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        model_.OnHelpNotShown();
        process->deleteLater();
    });
    process->start(opener, {ToQString(path)});
    return true;
}

void MainWindow::ShowActivityLog(const ActivityLog& log) {
    if (!logWindow_) logWindow_ = new ActivityLogWindow(log, this);
    logWindow_->Refresh();
    logWindow_->show();
    logWindow_->raise();
    logWindow_->activateWindow();
}

bool MainWindow::AskYesNo(const std::string& question) {
    // No is the default: a stray Enter keeps things as they are.
    return QMessageBox::question(this, windowTitle(), ToQString(question),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void MainWindow::ShowNotification(const std::string& summary, const std::string& body) {
    if (!notifier_) {
        notifier_ = new DesktopNotifier([this] { model_.OnNotificationClicked(); }, this);
    }
    if (notifier_->Show(ToQString(summary), ToQString(body))) return;
    // Without a notification service the tray icon, where there is one, says it.
    if (tray_ && tray_->isVisible()) {
        tray_->showMessage(ToQString(summary), ToQString(body));
        connect(
            tray_, &QSystemTrayIcon::messageClicked, this,
            [this] { model_.OnNotificationClicked(); }, Qt::UniqueConnection);
    }
}

void MainWindow::ShowWindowAgain() {
    if (tray_) tray_->hide();
    showNormal();
    raise();
    activateWindow();
}

QWidget* MainWindow::FileListDropTarget() const { return fileList_->viewport(); }

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != fileList_->viewport()) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (DroppedPaths(drag->mimeData()).empty()) return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const std::vector<std::string> paths = DroppedPaths(drop->mimeData());
            if (paths.empty()) return false;
            drop->acceptProposedAction();
            model_.DropFiles(paths);
            return true;
        }
        default:
            return QDialog::eventFilter(watched, event);
    }
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && !closing_) {
        if (isMinimized()) {
            model_.SetWindowShown(WindowShown::kMinimized);
        } else if (isVisible()) {
            model_.SetWindowShown(WindowShown::kOnScreen);
        }
    }
    QDialog::changeEvent(event);
}

void MainWindow::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void MainWindow::KeepPainting() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::CloseWindow() {
    closing_ = true;
    if (tray_) tray_->hide();
    hide();
    // The program ends with its main window; a conversion still on the stack
    // unwinds first, because the event loop ends only when it is reached.
    QCoreApplication::quit();
}

void MainWindow::ShowInSystemTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        showMinimized();
        return;
    }
    if (!tray_) {
        tray_ = new QSystemTrayIcon(windowIcon(), this);
        tray_->setToolTip(windowTitle());
        // Either button brings the window back.
        connect(tray_, &QSystemTrayIcon::activated, this, [this] {
            model_.SetWindowShown(WindowShown::kOnScreen);
            ShowWindowAgain();
        });
        // Quitting from the tray is the Close button: a conversion under way
        // is not thrown away without a question.
        auto* menu = new QMenu(this);
        menu->addAction("Show", this, [this] {
            model_.SetWindowShown(WindowShown::kOnScreen);
            ShowWindowAgain();
        });
        menu->addAction("Quit", this, [this] { model_.OnCommand(kCmdClose); });
        tray_->setContextMenu(menu);
    }
    tray_->show();
    hide();
}

void MainWindow::Minimize() { showMinimized(); }

void MainWindow::Maximize() {
    Sync();
    showMaximized();
}

void MainWindow::Restore() {
    showNormal();
    Sync();
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const MainWindowLayout l = model_.Layout();
    painter.fillRect(rect(), kWindowBackground);
    QLinearGradient titleBar(0, 0, 0, l.titleBar.bottom);
    titleBar.setColorAt(0, kTitleBarTop);
    titleBar.setColorAt(1, kTitleBarBottom);
    painter.fillRect(QRect(0, 0, width(), l.titleBar.bottom), titleBar);
    // Etched separators: a dark line over a light one.
    const auto etch = [&painter](const Rect& r, bool horizontal) {
        const QRect q = ToQRect(r);
        painter.fillRect(q, QColor(0xb4, 0xbd, 0xca));
        const QRect light = horizontal ? QRect(q.left(), q.bottom(), q.width(), 1)
                                       : QRect(q.right(), q.top(), 1, q.height());
        painter.fillRect(light, Qt::white);
    };
    etch(l.separators[1], true);
    etch(l.separators[2], false);
    etch(l.separators[3], false);
    etch(l.upperMergeSeparator, true);
    etch(l.lowerMergeSeparator, true);
    painter.fillRect(ToQRect(l.separators[0]), kTitleBarBottom.darker(120));
    // The window has no frame of its own.
    painter.setPen(kTitleBarBottom);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton &&
        event->position().y() < model_.Layout().titleBar.bottom) {
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        return;
    }
    dragOffset_ = QPoint();
    QDialog::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) && !dragOffset_.isNull() && !model_.Maximized()) {
        move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    event->ignore();
    model_.OnCommand(kCmdClose);
}

void MainWindow::reject() { model_.OnCommand(kCmdClose); }
