#include "app/widgets/burning_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "ui/readable_text.h"

namespace {

// What a group box's frame takes from its title's width, on either side.
constexpr int kGroupTitleMargin = 12;

QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

// Controls are named by their ids, so that tests and tools can find them.
template <typename Widget>
Widget* Named(Widget* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

}  // namespace

BurningWindow::BurningWindow(BurningWindowModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
    setWindowTitle(kBurningWindowTitle);
    setStyleSheet(kReadableListsStyleSheet);
    fillTimer_.setSingleShot(true);
    connect(&fillTimer_, &QTimer::timeout, this, [this] { model_.OnTimer(kFillProjectTimer); });
    CreateControls();
    UseReadableDropDowns(this);
    model_.SetView(this);
    model_.Open();
    Sync();
}

BurningWindow::~BurningWindow() { model_.SetView(nullptr); }

void BurningWindow::CreateControls() {
    const BurningWindowLayout l = model_.Layout();
    setFixedSize(BurningWindowLayout::kWidth, l.height);

    messages_ = Named(new QListWidget(this), kBurnMessageList);
    messages_->setGeometry(ToQRect(l.messageList));
    information_ = Named(new QGroupBox(this), kBurnInformation);
    information_->setGeometry(ToQRect(l.information));
    information_->lower();

    deviceLabel_ = new QLabel("Device:", this);
    deviceLabel_->setGeometry(ToQRect(l.deviceLabel));
    devices_ = Named(new QComboBox(this), kBurnDeviceBox);
    devices_->setGeometry(ToQRect(l.deviceBox));
    connect(devices_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!syncing_) model_.SelectDevice(index);
    });

    labelCaption_ = new QLabel("Label:", this);
    labelCaption_->setGeometry(ToQRect(l.labelCaption));
    volumeLabel_ = Named(new QLineEdit(this), kBurnVolumeLabel);
    volumeLabel_->setGeometry(ToQRect(l.volumeLabel));
    connect(volumeLabel_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.SetVolumeLabel(text.toStdString()); });

    eject_ = Named(new QCheckBox("Eject After Burn", this), kBurnEjectBox);
    eject_->setGeometry(ToQRect(l.ejectBox));
    connect(eject_, &QCheckBox::clicked, this, [this] { model_.OnCommand(kBurnEjectBox); });
    finalize_ = Named(new QCheckBox("Finalize", this), kBurnFinalizeBox);
    finalize_->setGeometry(ToQRect(l.finalizeBox));
    connect(finalize_, &QCheckBox::clicked, this, [this] { model_.OnCommand(kBurnFinalizeBox); });

    bufferCaption_ = new QLabel("Buffer:", this);
    bufferCaption_->setGeometry(ToQRect(l.bufferCaption));
    buffer_ = Named(new QLabel(this), kBurnBufferValue);
    buffer_->setGeometry(ToQRect(l.bufferValue));
    bytesCaption_ = new QLabel("Written:", this);
    bytesCaption_->setGeometry(ToQRect(l.bytesCaption));
    bytes_ = Named(new QLabel(this), kBurnBytesValue);
    bytes_->setGeometry(ToQRect(l.bytesValue));

    progress_ = Named(new QProgressBar(this), kBurnProgressBar);
    progress_->setGeometry(ToQRect(l.progress));
    progress_->setRange(0, 100);

    fileTree_ = Named(new QTreeWidget(this), kBurnFileTree);
    fileTree_->setGeometry(ToQRect(l.fileTree));
    fileTree_->setHeaderHidden(true);
    fileTree_->setVisible(l.fileTreeVisible);

    const auto button = [this](int commandId, const char* caption, const Rect& where) {
        auto* pushButton = Named(new QPushButton(caption, this), commandId);
        pushButton->setGeometry(ToQRect(where));
        pushButton->setAutoDefault(false);
        connect(pushButton, &QPushButton::clicked, this,
                [this, commandId] { model_.OnCommand(commandId); });
        return pushButton;
    };
    burnNow_ = button(kCmdBurnNow, "Burn Now", l.burnNow);
    cancel_ = button(kCmdCancelBurn, "Cancel", l.cancel);
    // Long paths keep their start and their file name; the tooltips have all.
    messages_->setTextElideMode(Qt::ElideMiddle);
    fileTree_->setTextElideMode(Qt::ElideMiddle);
    // Texts too wide for their places (a large desktop font) get a smaller one.
    ensurePolished();
    for (QLabel* label : {deviceLabel_, labelCaption_, bufferCaption_, bytesCaption_}) {
        FitCaption(label);
    }
    for (QAbstractButton* box :
         std::initializer_list<QAbstractButton*>{eject_, finalize_, burnNow_, cancel_}) {
        FitCaption(box);
    }
}

void BurningWindow::Sync() {
    syncing_ = true;
    if (messages_->count() != static_cast<int>(model_.Messages().size())) {
        for (std::size_t i = static_cast<std::size_t>(messages_->count());
             i < model_.Messages().size(); ++i) {
            auto* item = new QListWidgetItem(ToQString(model_.Messages()[i]), messages_);
            item->setToolTip(item->text());
        }
        messages_->scrollToBottom();
    }
    // The scan line names long paths; the group's width cuts them in the middle.
    const QString information = ToQString(model_.InformationText());
    const int room = information_->width() - 2 * kGroupTitleMargin;
    information_->setTitle(
        information_->fontMetrics().elidedText(information, Qt::ElideMiddle, room));
    information_->setToolTip(information_->title() == information ? QString() : information);

    QStringList devices;
    for (const std::string& entry : model_.Devices()) devices << ToQString(entry);
    QStringList shown;
    for (int i = 0; i < devices_->count(); ++i) shown << devices_->itemText(i);
    if (shown != devices) {
        devices_->clear();
        devices_->addItems(devices);
    }
    devices_->setCurrentIndex(model_.SelectedDevice());
    if (volumeLabel_->text() != ToQString(model_.VolumeLabel())) {
        volumeLabel_->setText(ToQString(model_.VolumeLabel()));
    }
    eject_->setChecked(model_.EjectAfterBurn());
    finalize_->setChecked(model_.Finalize());
    buffer_->setText(ToQString(model_.BufferText()));
    bufferCaption_->setVisible(model_.BufferShown());
    buffer_->setVisible(model_.BufferShown());
    ShowElided(bytes_, ToQString(model_.BytesWrittenText()));
    progress_->setValue(model_.Progress());

    if (fileTree_->topLevelItemCount() != static_cast<int>(model_.FileTree().size())) {
        fileTree_->clear();
        for (const FileTreeEntry& entry : model_.FileTree()) {
            auto* root = new QTreeWidgetItem(fileTree_, {ToQString(entry.name)});
            root->setToolTip(0, root->text(0));
            for (const std::string& line : entry.lines) {
                auto* child = new QTreeWidgetItem(root, {ToQString(line)});
                child->setToolTip(0, child->text(0));
            }
            root->setExpanded(entry.expanded);
        }
    }
    burnNow_->setEnabled(model_.IsCommandAvailable(kCmdBurnNow));
    syncing_ = false;
}

void BurningWindow::Changed() { Sync(); }

void BurningWindow::SetTimer(int id, int delayMs) {
    if (id == kFillProjectTimer) fillTimer_.start(delayMs);
}

void BurningWindow::KillTimer(int id) {
    if (id == kFillProjectTimer) fillTimer_.stop();
}

void BurningWindow::ShowMessageBox(const std::string& text, const std::string& caption,
                                   MessageIcon icon) {
    // The texts end their lines the Windows way; Qt breaks at "\n" alone.
    QString shown = ToQString(text);
    shown.replace("\r\n", "\n");
    QMessageBox box(icon == MessageIcon::kStop ? QMessageBox::Critical : QMessageBox::Information,
                    ToQString(caption), shown, QMessageBox::Ok, this);
    box.exec();
}

void BurningWindow::WaitForMessages() {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void BurningWindow::EndDialog(int result) { done(result); }

void BurningWindow::reject() { model_.OnCommand(kCmdCancelBurn); }
