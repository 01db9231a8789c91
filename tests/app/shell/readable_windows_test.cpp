// The program's windows as a user reads them, on the offscreen platform at
// their standard sizes and with the desktop's text made 150 % larger: every
// label, button, status pane and list row shows its whole text, or cuts it
// with the whole text as its tooltip (measured with the control's own font
// against its width); the highlighted entry of a drop-down list is drawn in
// colours that differ, under the standard palette and a dark one; and the
// disc-writer wizard's menu preview is the picture the DVD build writes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QRadioButton>
#include <QTreeWidget>
#include <QWizard>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>

#include "app/disc/disc_writer_wizard_model.h"
#include "app/widgets/burning_window.h"
#include "app/widgets/disc_writer_wizard.h"
#include "app/widgets/main_window.h"
#include "app/widgets/profile_editor.h"
#include "app/window/main_window_model.h"
#include "tests/support/offscreen_application.h"
#include "tests/support/profile_tables_host.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"
#include "ui/jpeg_file.h"
#include "ui/readable_text.h"

namespace fs = std::filesystem;

namespace {

constexpr double kTextScales[] = {1.0, 1.5};

// The desktop's text size for one test: the application font scaled.
class TextScale {
public:
    explicit TextScale(double scale) : saved_(QApplication::font()) {
        QFont font = saved_;
        font.setPointSizeF(saved_.pointSizeF() * scale);
        QApplication::setFont(font);
    }
    ~TextScale() { QApplication::setFont(saved_); }

private:
    QFont saved_;
};

int WidestLine(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split('\n')) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    return widest;
}

// A text shown whole, or cut with the whole one as the tooltip.
bool WholeOrExplained(const QString& shown, int needed, int room, const QString& tooltip,
                      const QString& whole) {
    if (needed <= room) return true;
    return !tooltip.isEmpty() && tooltip == whole && shown != whole;
}

// Checks every visible control of the window; `what` names the window.
void ExpectReadable(QWidget& window, const std::string& what) {
    SCOPED_TRACE(what);
    int checked = 0;
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->isVisibleTo(&window) || label->text().isEmpty() || label->wordWrap()) continue;
        const int room = label->contentsRect().width() - 2 * label->margin() - label->indent();
        const int needed = WidestLine(label->fontMetrics(), label->text());
        // A label cut by ShowElided has its whole text as the tooltip.
        const QString whole = label->toolTip().isEmpty() ? label->text() : label->toolTip();
        EXPECT_TRUE(WholeOrExplained(label->text(), needed, room, label->toolTip(), whole))
            << "label \"" << label->text().toStdString() << "\" needs " << needed << " of " << room;
        ++checked;
    }
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(&window) || button->text().isEmpty()) continue;
        // Check boxes and radio buttons draw their indicator before the text.
        const int room = CaptionRoom(button);
        const int needed = WidestLine(button->fontMetrics(), ShownCaption(button));
        EXPECT_LE(needed, room) << "button \"" << button->text().toStdString() << "\"";
        ++checked;
    }
    for (QListWidget* list : window.findChildren<QListWidget*>()) {
        if (!list->isVisibleTo(&window)) continue;
        const int room = list->viewport()->width() - 8;
        for (int i = 0; i < list->count(); ++i) {
            const QListWidgetItem* item = list->item(i);
            const int needed = list->fontMetrics().horizontalAdvance(item->text());
            EXPECT_TRUE(needed <= room || item->toolTip() == item->text())
                << "list row \"" << item->text().toStdString() << "\"";
            ++checked;
        }
    }
    for (QTreeWidget* tree : window.findChildren<QTreeWidget*>()) {
        if (!tree->isVisibleTo(&window)) continue;
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            const int room = tree->viewport()->width() - tree->indentation() * 2 - 8;
            const int needed = tree->fontMetrics().horizontalAdvance((*it)->text(0));
            EXPECT_TRUE(needed <= room || (*it)->toolTip(0) == (*it)->text(0))
                << "tree row \"" << (*it)->text(0).toStdString() << "\"";
            ++checked;
        }
    }
    for (QGroupBox* group : window.findChildren<QGroupBox*>()) {
        if (!group->isVisibleTo(&window) || group->title().isEmpty()) continue;
        const int needed = group->fontMetrics().horizontalAdvance(group->title());
        EXPECT_TRUE(needed <= group->width() - 24 || !group->toolTip().isEmpty())
            << "group \"" << group->title().toStdString() << "\"";
    }
    EXPECT_GT(checked, 0);
}

double Luminance(QRgb colour) {
    return 0.299 * qRed(colour) + 0.587 * qGreen(colour) + 0.114 * qBlue(colour);
}

// A row of an item view as drawn: the most common colour is its background,
// and its strongest contrast to that is its text's.
struct RowColours {
    QRgb background = 0;
    double textContrast = 0;
};

RowColours ColoursOf(const QImage& picture, const QRect& row) {
    std::map<QRgb, int> counts;
    for (int y = row.top(); y <= row.bottom(); ++y) {
        for (int x = row.left(); x <= row.right(); ++x) ++counts[picture.pixel(x, y) | 0xFF000000u];
    }
    RowColours colours;
    int most = 0;
    for (const auto& [colour, count] : counts) {
        if (count > most) {
            most = count;
            colours.background = colour;
        }
    }
    for (const auto& [colour, count] : counts) {
        colours.textContrast = std::max(
            colours.textContrast, std::abs(Luminance(colour) - Luminance(colours.background)));
    }
    return colours;
}

// The drop-down's entries: the highlighted one (under the keyboard, and
// under the mouse, which moves the highlight in a drop-down) stands apart
// from the others, and every entry's text stands out from its background.
void ExpectHighlightReadable(QComboBox* box, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_NE(box, nullptr);
    ASSERT_GE(box->count(), 2);
    box->showPopup();
    QAbstractItemView* view = box->view();
    const QModelIndex plain = view->model()->index(0, box->modelColumn());
    const QModelIndex highlighted = view->model()->index(1, box->modelColumn());
    view->setCurrentIndex(highlighted);
    view->selectionModel()->select(highlighted, QItemSelectionModel::ClearAndSelect);
    const QImage picture = view->viewport()->grab().toImage();
    const QRect highlightedRow = view->visualRect(highlighted).intersected(picture.rect());
    const QRect plainRow = view->visualRect(plain).intersected(picture.rect());
    ASSERT_FALSE(highlightedRow.isEmpty());
    ASSERT_FALSE(plainRow.isEmpty());
    const RowColours high = ColoursOf(picture, highlightedRow);
    const RowColours other = ColoursOf(picture, plainRow);
    EXPECT_GT(high.textContrast, 120) << "the highlighted entry's text does not stand out";
    EXPECT_GT(other.textContrast, 120) << "an entry's text does not stand out";
    EXPECT_GT(std::abs(Luminance(high.background) - Luminance(other.background)), 60)
        << "the highlight is not told from the other entries";
    box->hidePopup();
}

QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, Qt::white);
    // The colours a dark theme may give that make a highlight unreadable.
    dark.setColor(QPalette::Highlight, Qt::white);
    dark.setColor(QPalette::HighlightedText, Qt::white);
    return dark;
}

// Profile files copied from the program folder into a writable one.
void CopyProfiles(const std::string& to) {
    for (const auto& entry : fs::directory_iterator(ZARVO_PROGRAM_FOLDER)) {
        if (entry.path().filename().string().ends_with("Profile.ini")) {
            fs::copy_file(entry.path(), to + entry.path().filename().string());
        }
    }
}

TEST(ReadableWindowsTest, TheMainWindowShowsEveryTextAndGrowsUsefully) {
    test::RunSession session;
    for (const double scale : kTextScales) {
        SCOPED_TRACE(scale);
        const TextScale text(scale);
        const test::TempDir folder("readable main window");
        CopyProfiles(folder.Folder());
        const std::string exportFolder = folder / "a rather long export folder name/";
        test::WriteFile(folder / "zarvo.ini", "[common]\nexportfolder=" + exportFolder + "\n");
        const std::string longName =
            folder / "holiday videos from the summer of the year we went to the sea clip.avi";
        test::WriteFile(longName, "");
        test::WriteFile(folder / "short.avi", "");
        MainWindowModel model(session.context, folder.Folder());
        MainWindow window(model);
        window.show();
        model.DropFiles({longName, folder / "short.avi"});
        // A long status text: a DVD folder without a title names the folder.
        model.OnHelpNotShown();
        if (scale == 1.0) test::SaveScreenshot(window, "main_window");
        EXPECT_EQ(window.width(), MainWindowLayout::kWidth);
        ExpectReadable(window, "main window");

        // The time panes have room for their longest texts.
        const MainWindowLayout l = model.Layout();
        for (int pane : {1, 2}) {
            const QLabel* label = window.findChildren<QLabel*>("status")[pane];
            EXPECT_LE(label->fontMetrics().horizontalAdvance(" Finished: 00:00:00"),
                      label->contentsRect().width() - 4);
            EXPECT_EQ(label->geometry().right() + 1,
                      l.statusPanes[static_cast<std::size_t>(pane)].right);
        }
        // The profile list's highlighted entry, with our colours and a dark palette.
        auto* profiles = window.findChild<QComboBox*>();
        ExpectHighlightReadable(profiles, "profile list");
        const QPalette saved = QApplication::palette();
        QApplication::setPalette(DarkPalette());
        ExpectHighlightReadable(profiles, "profile list, dark palette");
        QApplication::setPalette(saved);

        // Made larger, the list and the path fields take the room.
        auto* list = window.findChild<QListWidget*>();
        const QSize listBefore = list->size();
        window.resize(window.width() + 200, window.height() + 120);
        EXPECT_EQ(list->width(), listBefore.width() + 200);
        EXPECT_EQ(list->height(), listBefore.height() + 120);
        ExpectReadable(window, "main window made larger");
    }
}

TEST(ReadableWindowsTest, TheProfileEditorShowsEveryTextWithTheBitrateUnit) {
    for (const double scale : kTextScales) {
        SCOPED_TRACE(scale);
        const TextScale text(scale);
        const test::TempDir folder("readable editor");
        ProfileFiles files(folder.Folder());
        test::WriteFile(files.PathOf(kTarget3gp),
                        "[common]\nprofiles=2\n[Profile0]\nName=Phone\nFrameWidth=176\n"
                        "FrameHeight=144\nVideoBitrate=128\n[Profile1]\nName=Other\n");
        test::ProfileTablesHost host(files);
        ProfileEditorModel model(kTarget3gp, "3GP Profile Editor", host, files);
        ProfileEditor editor(model);
        editor.show();
        if (scale == 1.0) test::SaveScreenshot(editor, "profile_editor");
        ExpectReadable(editor, "profile editor");
        bool unit = false;
        for (QLabel* label : editor.findChildren<QLabel*>()) unit |= label->text() == "kbit/s";
        EXPECT_TRUE(unit);
        ExpectHighlightReadable(editor.findChild<QComboBox*>("Video Codec"), "video codec list");
    }
}

TEST(ReadableWindowsTest, TheBurningWindowShowsEveryText) {
    std::string error;
    const BurningSdk* sdk = LoadBurningSdk(ZARVO_PROGRAM_FOLDER, error);
    ASSERT_NE(sdk, nullptr) << error;
    for (const double scale : kTextScales) {
        SCOPED_TRACE(scale);
        const TextScale text(scale);
        const test::TempDir folder("readable burning window");
        BurningWindowModel model(*sdk, kDvdDisc, {}, folder.Folder());
        BurningWindow window(model);
        window.show();
        if (scale == 1.0) test::SaveScreenshot(window, "burning_window");
        ExpectReadable(window, "burning window");
        // The image recorder writes no drive's buffer.
        const QLabel* buffer = window.findChild<QLabel*>(QString::number(kBurnBufferValue));
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(buffer->isVisibleTo(&window), model.BufferShown());
    }
}

TEST(ReadableWindowsTest, TheWizardChecksItsTitlesAndPreviewsTheMenuTheBuildWrites) {
    for (const double scale : kTextScales) {
        SCOPED_TRACE(scale);
        const TextScale text(scale);
        const test::TempDir folder("readable wizard");
        test::WriteFile(folder / "title one.mpg", "");
        test::WriteFile(folder / "title two.mpg", "");
        test::WriteFile(folder / "phone clip.mp4", "");
        test::RunSession wizardSession;
        DiscWriterSetup setup;
        setup.context = &wizardSession.context;
        setup.programFolder = ZARVO_PROGRAM_FOLDER;
        setup.exportFolder = folder.Folder();
        setup.settingsPath = folder / "zarvo.ini";
        setup.videoCodecOf = [](const std::string& file) {
            return file.ends_with(".mpg") ? std::string("mpeg2video") : std::string("h264");
        };
        DiscWriterWizardModel model(setup);
        DiscWriterWizard wizard(model);
        wizard.show();
        if (scale == 1.0) test::SaveScreenshot(wizard, "wizard_kind");
        ExpectReadable(wizard, "wizard, kind page");

        // Next waits on the titles page until there are titles.
        wizard.next();
        wizard.next();
        EXPECT_EQ(wizard.currentPage()->title(), "Titles");
        EXPECT_FALSE(wizard.button(QWizard::NextButton)->isEnabled());
        model.ChooseTitles(
            {folder / "phone clip.mp4", folder / "title one.mpg", folder / "title two.mpg"});
        EXPECT_TRUE(wizard.button(QWizard::NextButton)->isEnabled());
        ASSERT_EQ(model.RefusedTitles().size(), 1u);
        EXPECT_EQ(model.RefusedTitles()[0],
                  folder / "phone clip.mp4" +
                      " cannot be a title: its video is h264, not MPEG-1 or MPEG-2.");
        if (scale == 1.0) test::SaveScreenshot(wizard, "wizard_titles");
        ExpectReadable(wizard, "wizard, titles page");

        wizard.next();
        EXPECT_EQ(wizard.currentPage()->title(), "DVD menu");
        if (scale == 1.0) test::SaveScreenshot(wizard, "wizard_menu");
        ExpectReadable(wizard, "wizard, menu page");
        // The preview is the picture the build writes for these two titles.
        std::vector<ButtonRect> buttons;
        const std::string written =
            ComposeMenuPicture(model.MenuRequest(), folder.Folder(), buttons);
        ASSERT_FALSE(written.empty());
        const std::optional<Picture> menu = LoadJpeg(written);
        ASSERT_TRUE(menu.has_value());
        const QImage preview = wizard.MenuPreview().convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(preview.size(), QSize(menu->Width(), menu->Height()));
        double difference = 0;
        for (int y = 0; y < preview.height(); ++y) {
            for (int x = 0; x < preview.width(); ++x) {
                const QRgb shown = preview.pixel(x, y);
                const Rgb built = menu->Pixel(x, y);
                difference += std::abs(qRed(shown) - built.red) +
                              std::abs(qGreen(shown) - built.green) +
                              std::abs(qBlue(shown) - built.blue);
            }
        }
        // Only the JPEG coding of the written picture may differ.
        EXPECT_LT(difference / (3.0 * preview.width() * preview.height()), 2.0);
        // The script's preview file is the build's picture, byte for byte.
        ASSERT_TRUE(model.SaveMenuPreview(folder / "preview.jpg"));
        EXPECT_EQ(test::ReadFile(folder / "preview.jpg"), test::ReadFile(written));

        wizard.next();
        if (scale == 1.0) test::SaveScreenshot(wizard, "wizard_create");
        ExpectReadable(wizard, "wizard, create page");
        wizard.close();
    }
}

}  // namespace
