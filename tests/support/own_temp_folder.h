// Gives a test program a temporary folder of its own for the program's fixed
// temporary names (platform::TempFolder()), so that test programs running at
// the same time never share "tempffmpegsfile.tmp" and the like. Include it in
// one source file of the test program.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace test {

class OwnTempFolder : public ::testing::Environment {
public:
    // Runs before any test, so before TempFolder() first looks at the
    // environment.
    void SetUp() override {
        std::string pattern = "/tmp/zarvo-runtime-XXXXXX";
        if (mkdtemp(pattern.data())) {
            folder_ = pattern;
            setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
        }
    }
    void TearDown() override {
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }

private:
    std::string folder_;
};

inline ::testing::Environment* const kOwnTempFolder =
    ::testing::AddGlobalTestEnvironment(new OwnTempFolder);

}  // namespace test
