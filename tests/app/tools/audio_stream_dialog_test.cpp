// The audio stream dialog's Qt window on the offscreen platform.
#include "app/widgets/audio_stream_dialog.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>

#include "tests/support/offscreen_application.h"
#include "tests/support/run_session.h"

namespace {

const std::vector<std::string> kDvdLines = {
    "Stream #0:2[0x80]: Audio: ac3, 48000 Hz, stereo, fltp, 192 kb/s",
    "Stream #0:3[0x81]: Audio: ac3, 48000 Hz, mono, fltp, 96 kb/s"};

QPushButton* ButtonWithText(QWidget& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text) return button;
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

TEST(AudioStreamDialogTest, ShowsTheLinesOnThePreferredOneWithButtonsAroundTheCentre) {
    test::RunSession session;
    AudioStreamDialogModel model(session.context, "/dvd/VTS_01_1.VOB", kDvdLines, "0x81");
    AudioStreamDialog dialog(model);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Select Audio Stream");
    auto* list = dialog.findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text().toStdString(), kDvdLines[0]);
    EXPECT_EQ(list->currentRow(), 1);

    const int centre = dialog.width() / 2;
    const QRect play = ButtonWithText(dialog, "Play")->geometry();
    const QRect close = ButtonWithText(dialog, "Close")->geometry();
    EXPECT_EQ(play.size(), QSize(64, 21));
    EXPECT_EQ(close.size(), QSize(64, 21));
    EXPECT_EQ(centre - (play.right() + 1), 20);
    EXPECT_EQ(close.left() - centre, 20);
    EXPECT_EQ(dialog.height() - (play.bottom() + 1), 20);
    EXPECT_EQ(close.top(), play.top());
    EXPECT_LT(list->geometry().bottom(), play.top());
    test::SaveScreenshot(dialog, "audio_stream_dialog");

    list->setCurrentRow(0);
    EXPECT_EQ(model.SelectedIndex(), 0);
    ButtonWithText(dialog, "Close")->click();
    EXPECT_TRUE(model.Closed());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(model.SelectedAudioId(), "0x80");
}

TEST(AudioStreamDialogTest, AnEmptyListClosesWithoutAChoice) {
    test::RunSession session;
    AudioStreamDialogModel model(session.context, "/dvd/VTS_01_1.VOB", {}, "0x80");
    AudioStreamDialog dialog(model);
    dialog.show();
    static_cast<QDialog&>(dialog).reject();
    EXPECT_TRUE(model.Closed());
    EXPECT_EQ(model.SelectedIndex(), -1);
}

}  // namespace
