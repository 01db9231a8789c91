// Two processes write different keys of one file thousands of times while a
// third reads it: no write may be lost and no read may see a torn file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/private_profile.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kWrites = 2000;

pid_t StartWriter(const std::string& path, const std::string& key) {
    pid_t pid = fork();
    if (pid == 0) {
        int failures = 0;
        for (int i = 1; i <= kWrites; ++i) {
            if (!platform::WritePrivateProfileString("job", key, std::to_string(i), path)) {
                ++failures;
            }
        }
        _exit(failures == 0 ? 0 : 1);
    }
    return pid;
}

TEST(PrivateProfileStressTest, TwoWritersLoseNoKeyAndReadersSeeWholeFiles) {
    test::TempDir dir;
    const std::string path = dir / "Tobrin.ini";
    ASSERT_TRUE(platform::WritePrivateProfileString("job", "sentinel", "intact", path));

    pid_t first = StartWriter(path, "ipercent");
    pid_t second = StartWriter(path, "strtip");
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);

    // While they run, every read sees the sentinel, and each writer's value
    // only ever grows.
    int lastFirst = 0, lastSecond = 0, reads = 0;
    int firstStatus = -1, secondStatus = -1;
    while (firstStatus < 0 || secondStatus < 0) {
        std::string sentinel = platform::GetPrivateProfileString("job", "sentinel", "", 64, path);
        int a = platform::GetPrivateProfileInt("job", "ipercent", 0, path);
        int b = platform::GetPrivateProfileInt("job", "strtip", 0, path);
        ASSERT_EQ(sentinel, "intact") << "after " << reads << " reads";
        ASSERT_GE(a, lastFirst);
        ASSERT_GE(b, lastSecond);
        lastFirst = a;
        lastSecond = b;
        ++reads;
        int status = 0;
        if (firstStatus < 0 && waitpid(first, &status, WNOHANG) == first) firstStatus = status;
        if (secondStatus < 0 && waitpid(second, &status, WNOHANG) == second) secondStatus = status;
    }

    EXPECT_EQ(firstStatus, 0) << "a write of the first writer failed";
    EXPECT_EQ(secondStatus, 0) << "a write of the second writer failed";
    EXPECT_EQ(platform::GetPrivateProfileInt("job", "ipercent", 0, path), kWrites);
    EXPECT_EQ(platform::GetPrivateProfileInt("job", "strtip", 0, path), kWrites);
    EXPECT_EQ(test::ReadFile(path).size(),
              std::string("[job]\nsentinel=intact\nipercent=2000\nstrtip=2000\n").size());
    EXPECT_GT(reads, 10);
}

}  // namespace
