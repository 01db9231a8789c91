#include "app/profiles/settings_file.h"

#include <gtest/gtest.h>

#include <clocale>

#include "app/run/startup.h"
#include "tests/support/temp_dir.h"

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    SettingsFileTest() { settings_.SetFile(dir_ / "zarvo.ini"); }
    test::TempDir dir_{"settings"};
    SettingsFile settings_;
};

TEST_F(SettingsFileTest, DefaultFileIsZarvoIniBesideTheRunningProgram) {
    EXPECT_EQ(SettingsFile().Path(), std::string(ZARVO_TEST_FOLDER) + "zarvo.ini");
}

TEST_F(SettingsFileTest, ReadRealTellsAbsentEmptyAndPresentApart) {
    test::WriteFile(settings_.Path(), "[common]\nempty=\nnine=9\nhalf=0.5\nword=abc\n");
    EXPECT_DOUBLE_EQ(settings_.ReadReal("common", "absent", 4.41), 4.41);
    EXPECT_DOUBLE_EQ(settings_.ReadReal("common", "empty", 4.41), 4.41);
    EXPECT_DOUBLE_EQ(settings_.ReadReal("common", "nine", 4.41), 9.0);
    EXPECT_DOUBLE_EQ(settings_.ReadReal("common", "half", 4.41), 0.5);
    EXPECT_DOUBLE_EQ(settings_.ReadReal("common", "word", 4.41), 0.0);
}

TEST_F(SettingsFileTest, ReadRealIgnoresTheUsersLocale) {
    test::WriteFile(settings_.Path(), "[common]\nvers=4.41\n");
    const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    double value = settings_.ReadReal("common", "vers", 0);
    if (previous) std::setlocale(LC_NUMERIC, "C");
    EXPECT_DOUBLE_EQ(value, 4.41);
}

TEST_F(SettingsFileTest, IntegersAndStringsRoundTrip) {
    EXPECT_EQ(settings_.ReadInt("common", "profiles"), 0);
    EXPECT_EQ(settings_.ReadString("common", "exportfolder"), "");
    ASSERT_TRUE(settings_.WriteInt("common", "profiles", -3));
    ASSERT_TRUE(settings_.WriteString("common", "exportfolder", "/home/ü ser/Zarvo Export/"));
    EXPECT_EQ(settings_.ReadInt("common", "profiles"), -3);
    EXPECT_EQ(settings_.ReadString("common", "exportfolder"), "/home/ü ser/Zarvo Export/");
    test::WriteFile(settings_.Path(), "[common]\nlong=" + std::string(5000, 'x') + "\n");
    EXPECT_EQ(settings_.ReadString("common", "long").size(), 4095u);
}

TEST_F(SettingsFileTest, TitleShowsTheSquareRootOfTheVersion) {
    EXPECT_EQ(WindowTitle(settings_), "Zarvo Video Converter 2.10");
    test::WriteFile(settings_.Path(), "[common]\nvers=\n");
    EXPECT_EQ(WindowTitle(settings_), "Zarvo Video Converter 2.10");
    test::WriteFile(settings_.Path(), "[common]\nvers=9\n");
    EXPECT_EQ(WindowTitle(settings_), "Zarvo Video Converter 3.00");
    test::WriteFile(settings_.Path(), "[common]\nvers=100\n");
    EXPECT_EQ(WindowTitle(settings_), "Zarvo Video Converter 10.00");
    test::WriteFile(settings_.Path(), "[common]\nvers=-4\n");
    EXPECT_EQ(WindowTitle(settings_), "Zarvo Video Converter 2.10");
}

}  // namespace
