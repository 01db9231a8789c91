// The disc-writer wizard's Qt window on the offscreen platform: its pages
// follow the kind of disc, it shows the model, and its buttons reach it.
#include "app/widgets/disc_writer_wizard.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "app/disc/disc_writer_wizard_model.h"
#include "tests/support/offscreen_application.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"

namespace {

template <typename Widget>
Widget* WithText(QWidget& window, const QString& text) {
    for (Widget* widget : window.findChildren<Widget*>()) {
        if (widget->text() == text) return widget;
    }
    ADD_FAILURE() << "no widget " << text.toStdString();
    return nullptr;
}

TEST(DiscWriterWizardTest, PagesFollowTheDiscKindAndTheWindowShowsTheModel) {
    const test::TempDir folder("wizard window");
    test::WriteFile(folder / "a.mpg", "");
    test::WriteFile(folder / "b.avi", "");
    test::RunSession wizardSession;
    DiscWriterSetup setup;
    setup.context = &wizardSession.context;
    setup.programFolder = folder.Folder();
    setup.settingsPath = folder / "zarvo.ini";
    setup.videoCodecOf = [](const std::string& file) {
        return file.ends_with(".mpg") ? std::string("MPEG2VIDEO") : std::string("mpeg4");
    };
    DiscWriterWizardModel model(setup);
    DiscWriterWizard wizard(model);
    wizard.show();
    test::SaveScreenshot(wizard, "disc_writer_wizard");

    EXPECT_TRUE(WithText<QRadioButton>(wizard, "DVD")->isChecked());
    wizard.next();
    // Without titles the wizard stays on their page and says why.
    wizard.next();
    EXPECT_EQ(wizard.currentPage()->title(), "Titles");
    EXPECT_NE(WithText<QLabel>(wizard, "Add the MPEG files to burn first."), nullptr);
    model.ChooseTitles({folder / "a.mpg"});
    wizard.next();
    EXPECT_EQ(wizard.currentPage()->title(), "DVD menu");
    test::SaveScreenshot(wizard, "disc_writer_wizard_menu");
    wizard.back();
    wizard.back();
    WithText<QRadioButton>(wizard, "VCD")->click();
    EXPECT_EQ(model.Kind(), kVideoCdDisc);
    wizard.next();
    wizard.next();
    // A VideoCD has no menu.
    EXPECT_EQ(wizard.currentPage()->title(), "Create the disc");
    test::SaveScreenshot(wizard, "disc_writer_wizard_create");

    model.ChooseTitles({folder / "a.mpg", folder / "b.avi"});
    const auto lists = wizard.findChildren<QListWidget*>();
    ASSERT_EQ(lists.size(), 2);
    ASSERT_EQ(lists[0]->count(), 1);
    EXPECT_EQ(lists[0]->item(0)->text().toStdString(), folder / "a.mpg");

    model.RemoveTitles();
    WithText<QPushButton>(wizard, "Create Disc")->click();
    EXPECT_NE(WithText<QLabel>(wizard, "Add the MPEG files to burn first."), nullptr);
    EXPECT_FALSE(WithText<QPushButton>(wizard, "Stop")->isEnabled());
    wizard.close();
    EXPECT_TRUE(model.Closed());
    EXPECT_FALSE(wizard.isVisible());
}

}  // namespace
