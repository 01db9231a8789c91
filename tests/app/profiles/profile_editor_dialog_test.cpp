// The profile editor's Qt dialog on the offscreen platform: where its
// buttons stand, and that edits and clicks reach the model.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include "app/widgets/profile_editor.h"
#include "tests/support/offscreen_application.h"
#include "tests/support/profile_tables_host.h"
#include "tests/support/temp_dir.h"
#include "ui/spin_arrows.h"

namespace {

QAbstractButton* ButtonWithTooltip(QWidget& dialog, const QString& tooltip) {
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
        if (button->toolTip() == tooltip) return button;
    }
    ADD_FAILURE() << "no button " << tooltip.toStdString();
    return nullptr;
}

class ProfileEditorDialogTest : public ::testing::Test {
protected:
    ProfileEditor& Open(int target, const std::string& title) {
        test::WriteFile(files_.PathOf(target),
                        "[common]\nprofiles=2\n"
                        "[Profile0]\nName=Small\nFrameWidth=352\nFrameHeight=288\n"
                        "VideoBitrate=700\nAudioFormat=1\nAudioFrequency=5\nFileType=1\n"
                        "[Profile1]\nName=Large\nFrameWidth=400\nFrameHeight=300\n"
                        "VideoBitrate=2000\nVersion=7\n");
        host_ = std::make_unique<test::ProfileTablesHost>(files_);
        model_ = std::make_unique<ProfileEditorModel>(target, title, *host_, files_);
        dialog_ = std::make_unique<ProfileEditor>(*model_);
        dialog_->show();
        return *dialog_;
    }
    template <typename Widget>
    Widget* Find(const QString& name) {
        auto* widget = dialog_->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    test::TempDir folder_{"dialog ü"};
    ProfileFiles files_{folder_.Folder()};
    std::unique_ptr<test::ProfileTablesHost> host_;
    std::unique_ptr<ProfileEditorModel> model_;
    std::unique_ptr<ProfileEditor> dialog_;
};

TEST_F(ProfileEditorDialogTest, ButtonsStandWhereUsersExpectThem) {
    ProfileEditor& dialog = Open(kTargetAvi, "AVI Profile Editor");
    EXPECT_EQ(dialog.windowTitle(), "AVI Profile Editor");
    const QRect close = ButtonWithTooltip(dialog, "Close Profile Editor")->geometry();
    EXPECT_EQ(close.size(), QSize(64, 21));
    EXPECT_EQ(dialog.width() - (close.right() + 1), 10);
    EXPECT_EQ(dialog.height() - (close.bottom() + 1), 10);
    const QRect reload = ButtonWithTooltip(dialog, "Reload Profiles")->geometry();
    EXPECT_EQ(close.left() - (reload.right() + 1), 10);
    EXPECT_EQ(reload.top(), close.top());
    const QRect save = ButtonWithTooltip(dialog, "Save Profiles")->geometry();
    EXPECT_EQ(reload.left() - (save.right() + 1), 10);

    const QRect spin = Find<SpinArrows>("Profile spin")->geometry();
    const QRect added = ButtonWithTooltip(dialog, "New Profile")->geometry();
    EXPECT_EQ(added.size(), QSize(21, 21));
    EXPECT_EQ(added.left() - (spin.right() + 1), 10);
    const QRect deleted = ButtonWithTooltip(dialog, "Delete Profile")->geometry();
    EXPECT_EQ(deleted.size(), QSize(21, 21));
    EXPECT_EQ(deleted.left() - (added.right() + 1), 9);

    EXPECT_FALSE(Find<QComboBox>("FileType")->isVisible());
    EXPECT_TRUE(Find<QComboBox>("Frequency")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>("Profile")->text(), "No.1 of 2");
    EXPECT_EQ(Find<QComboBox>("Frame Size")->currentText(), "352 x 288");
    EXPECT_EQ(Find<QComboBox>("Framerate")->count(), 5);
    test::SaveScreenshot(dialog, "profile_editor_avi");
}

TEST_F(ProfileEditorDialogTest, ThreeGpMakesRoomForTheFileType) {
    ProfileEditor& dialog = Open(kTarget3gp, "3GP Profile Editor");
    const int nameWidth = Find<QLineEdit>("Name")->width();
    EXPECT_EQ(Find<QLineEdit>("Comment")->width(), nameWidth - 145);
    auto* fileType = Find<QComboBox>("FileType");
    EXPECT_TRUE(fileType->isVisible());
    EXPECT_EQ(fileType->currentText(), "3g2");
    EXPECT_GT(fileType->x(), Find<QLineEdit>("Comment")->geometry().right());
    EXPECT_FALSE(Find<QComboBox>("Frequency")->isEnabled());
    emit Find<QComboBox>("Audio Format")->activated(0);
    EXPECT_EQ(Find<QComboBox>("Frequency")->currentText(), "8000 Hz");
    test::SaveScreenshot(dialog, "profile_editor_3gp");
}

TEST_F(ProfileEditorDialogTest, EditsAndClicksReachTheModelAndTheFile) {
    ProfileEditor& dialog = Open(kTargetWmv, "");
    auto* width = Find<QLineEdit>("Width");
    width->setText("400");
    emit width->textEdited("400");
    auto* height = Find<QLineEdit>("Height");
    height->setText("300");
    emit height->textEdited("300");
    EXPECT_EQ(Find<QComboBox>("Frame Size")->currentText(), "Custom...");
    emit Find<QComboBox>("Video Codec")->activated(7);
    ButtonWithTooltip(dialog, "Save Profiles")->click();
    EXPECT_EQ(files_.ReadInt(kTargetWmv, 0, "FrameWidth"), 400);
    EXPECT_EQ(files_.ReadInt(kTargetWmv, 0, "FileType"), 4);

    ButtonWithTooltip(dialog, "New Profile")->click();
    EXPECT_EQ(Find<QLineEdit>("Profile")->text(), "No.3 of 3");
    EXPECT_EQ(files_.StoredCount(kTargetWmv), 3);

    // Frame-size entries fill the fields.
    emit Find<QComboBox>("Frame Size")->activated(0);
    EXPECT_EQ(width->text(), "80");
    EXPECT_EQ(Find<SpinArrows>("Width spin")->Position(), 80);

    // The frame size is a change not saved: Close asks, "No" closes.
    QString asked;
    QTimer::singleShot(0, [&asked] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        asked = box->text();
        box->button(QMessageBox::No)->click();
    });
    ButtonWithTooltip(dialog, "Close Profile Editor")->click();
    EXPECT_EQ(asked, "Save the changes to this profile?");
    EXPECT_TRUE(model_->Closed());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(files_.ReadInt(kTargetWmv, 2, "FrameWidth"), 400);
}

}  // namespace
