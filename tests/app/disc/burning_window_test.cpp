// The Qt burning window on the offscreen platform, over the real SDK: its
// controls by their ids, with their texts and places, for a DVD and for a
// SuperVCD whose file the window's own timer and event loop scan into the
// file tree; Cancel closes it with the dialog's cancel result.
#include "app/widgets/burning_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <chrono>

#include "tests/support/disc_media.h"
#include "tests/support/offscreen_application.h"
#include "tests/support/own_temp_folder.h"
#include "tests/support/temp_dir.h"

namespace {

template <typename Widget>
Widget* Control(QWidget& window, int id) {
    return window.findChild<Widget*>(QString::number(id));
}

class BurningWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        sdk_ = LoadBurningSdk(ZARVO_PROGRAM_FOLDER, error);
        ASSERT_NE(sdk_, nullptr) << error;
    }

    const BurningSdk* sdk_ = nullptr;
    test::TempDir export_{"burning window export"};
};

TEST_F(BurningWindowTest, ControlsStandWhereTheLayoutPutsThem) {
    BurningWindowModel model(*sdk_, kDvdDisc, {}, export_.Folder());
    BurningWindow window(model);
    test::SaveScreenshot(window, "burning_window_dvd");
    EXPECT_EQ(window.windowTitle(), "Zarvo Video Disc Writer");
    EXPECT_EQ(window.size(), QSize(480, 345));

    auto* burnNow = Control<QPushButton>(window, kCmdBurnNow);
    auto* cancel = Control<QPushButton>(window, kCmdCancelBurn);
    ASSERT_TRUE(burnNow && cancel);
    EXPECT_EQ(burnNow->text(), "Burn Now");
    EXPECT_EQ(cancel->text(), "Cancel");
    EXPECT_EQ(cancel->geometry(), QRect(480 - 10 - 115, 345 - 10 - 21, 115, 21));
    EXPECT_EQ(burnNow->geometry(), QRect(480 - 10 - 115 - 10 - 115, 345 - 10 - 21, 115, 21));
    EXPECT_TRUE(burnNow->isEnabled());

    EXPECT_EQ(Control<QGroupBox>(window, kBurnInformation)->title(), "Information");
    EXPECT_EQ(Control<QCheckBox>(window, kBurnEjectBox)->text(), "Eject After Burn");
    EXPECT_FALSE(Control<QCheckBox>(window, kBurnEjectBox)->isChecked());
    EXPECT_EQ(Control<QCheckBox>(window, kBurnFinalizeBox)->text(), "Finalize");
    EXPECT_TRUE(Control<QCheckBox>(window, kBurnFinalizeBox)->isChecked());
    EXPECT_EQ(Control<QLineEdit>(window, kBurnVolumeLabel)->text(), "Zarvo Video Burn");
    auto* devices = Control<QComboBox>(window, kBurnDeviceBox);
    ASSERT_GE(devices->count(), 1);
    EXPECT_TRUE(
        devices->itemText(devices->count() - 1).endsWith("Image Recorder (ISO or BIN/CUE file)"));
    EXPECT_EQ(devices->currentIndex(), 0);
    EXPECT_TRUE(Control<QTreeWidget>(window, kBurnFileTree)->isHidden());

    // A click on "Finalize" goes to the model and on to the SDK.
    Control<QCheckBox>(window, kBurnFinalizeBox)->click();
    EXPECT_FALSE(model.Finalize());
    FoxBurnerOptions options;
    ASSERT_EQ(sdk_->GetOptions(&options), 0);
    EXPECT_EQ(options.finalize, 0);

    cancel->click();
    EXPECT_EQ(window.result(), kBurningResultCancelled);
    EXPECT_TRUE(model.Closed());
}

TEST_F(BurningWindowTest, ASuperVcdWindowScansItsFileIntoTheTree) {
    const std::string clip = export_ / "super clip.mpg";
    ASSERT_TRUE(test::MakeDiscClip(clip, "pal-svcd", 1));
    BurningWindowModel model(*sdk_, kSuperVcdDisc, {clip}, export_.Folder());
    BurningWindow window(model);
    window.show();
    EXPECT_EQ(window.size(), QSize(480, 445));
    auto* tree = Control<QTreeWidget>(window, kBurnFileTree);
    EXPECT_FALSE(tree->isHidden());
    const QRect group = Control<QGroupBox>(window, kBurnInformation)->geometry();
    EXPECT_EQ(tree->geometry().top(), group.bottom() + 1 + 10);
    EXPECT_EQ(tree->geometry().height(), 100);
    // Nothing is accepted yet: nothing to burn.
    auto* burnNow = Control<QPushButton>(window, kCmdBurnNow);
    EXPECT_FALSE(burnNow->isEnabled());

    // Timer 0 fills the project; the scan's events come through Qt's loop.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (tree->topLevelItemCount() == 0 && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    test::SaveScreenshot(window, "burning_window_svcd");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    const QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0).toStdString(), clip);
    EXPECT_TRUE(root->isExpanded());
    ASSERT_EQ(root->childCount(), 5);
    EXPECT_EQ(root->child(1)->text(0), "Framerate: 25.00 Frames/sec");
    EXPECT_EQ(root->child(4)->text(0), "Width(Pixel): 480 / Height(Pixel): 576");
    EXPECT_EQ(Control<QGroupBox>(window, kBurnInformation)->title(), "Information");
    EXPECT_TRUE(burnNow->isEnabled());

    // The window manager's close is "Cancel".
    window.close();
    EXPECT_TRUE(model.Closed());
    EXPECT_EQ(model.Result(), kBurningResultCancelled);
}

}  // namespace
