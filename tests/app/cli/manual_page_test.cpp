// The manual page: clean for the checks Debian's lintian runs on manual
// pages, and naming the same options as --help.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "app/cli/convert_options.h"
#include "tests/support/run_program.h"

namespace {

const std::string kPage = std::string(ZARVO_SOURCE_DIR) + "/resources/desktop/zarvo-convert.1";

std::set<std::string> LongOptions(const std::string& text, const std::string& dash) {
    std::set<std::string> names;
    const std::regex option(dash + dash + "([a-z][a-z-]*(\\\\-[a-z]+)*)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it) {
        names.insert(std::regex_replace((*it)[1].str(), std::regex("\\\\-"), "-"));
    }
    return names;
}

TEST(ManualPageTest, GroffAndManFindNothingToSay) {
    const test::ProgramRun groff = test::RunProgram({"/usr/bin/groff", "-man", "-ww", "-z", kPage});
    EXPECT_EQ(groff.exitCode, 0);
    EXPECT_EQ(groff.out + groff.err, "");
    // What lintian runs: man's own warnings, with the page set for UTF-8.
    const test::ProgramRun man = test::RunProgram(
        {"/usr/bin/man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", kPage});
    EXPECT_EQ(man.exitCode, 0);
    EXPECT_EQ(man.err, "");
    EXPECT_NE(man.out, "");
}

TEST(ManualPageTest, NamesTheOptionsHelpNames) {
    std::ifstream file(kPage);
    ASSERT_TRUE(file.good()) << kPage;
    std::stringstream page;
    page << file.rdbuf();
    const std::set<std::string> inHelp = LongOptions(kConvertUsageText, "-");
    const std::set<std::string> inPage = LongOptions(page.str(), "\\\\-");
    EXPECT_EQ(inHelp.size(), 11u);
    EXPECT_EQ(inPage, inHelp);
}

}  // namespace
