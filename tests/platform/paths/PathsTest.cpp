#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/paths/Paths.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

namespace fs = std::filesystem;

using Environment = hx::testing::ScopedEnvironment;

TEST(Paths, HalidexHomeMovesEverythingUnderOneFolder) {
    Environment env;
    env.set("HALIDEX_HOME", "/tmp/hx-home");
    env.set("XDG_DATA_HOME", "/elsewhere");
    EXPECT_EQ(hx::paths::dataDirectory(), "/tmp/hx-home/data");
    EXPECT_EQ(hx::paths::configDirectory(), "/tmp/hx-home/config");
    EXPECT_EQ(hx::paths::cacheDirectory(), "/tmp/hx-home/cache");
    EXPECT_EQ(hx::paths::runtimeDirectory(), "/tmp/hx-home/runtime");
    EXPECT_EQ(hx::paths::temporaryDirectory(), "/tmp/hx-home/tmp");
}

TEST(Paths, XdgFoldersAndTheirFallbacks) {
    Environment env;
    env.set("HALIDEX_HOME", nullptr);
    env.set("HOME", "/home/someone");
    env.set("XDG_DATA_HOME", "/data");
    env.set("XDG_CONFIG_HOME", "relative/is/ignored");
    env.set("XDG_RUNTIME_DIR", "/run/user/1000");
    EXPECT_EQ(hx::paths::dataDirectory(), "/data/halidex");
    EXPECT_EQ(hx::paths::configDirectory(), "/home/someone/.config/halidex");
    EXPECT_EQ(hx::paths::runtimeDirectory(), "/run/user/1000/halidex");
    env.set("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(hx::paths::dataDirectory(), "/home/someone/.local/share/halidex");
    env.set("XDG_CACHE_HOME", nullptr);
    EXPECT_EQ(hx::paths::cacheDirectory(), "/home/someone/.cache/halidex");
    env.set("XDG_CACHE_HOME", "/cache");
    EXPECT_EQ(hx::paths::cacheDirectory(), "/cache/halidex");
}

TEST(Paths, EnsureDirectoryMakesPrivateFolders) {
    fs::path root = fs::temp_directory_path() / ("hx-paths-" + std::to_string(::getpid()));
    std::string nested = (root / "a/b").string();
    ASSERT_TRUE(hx::paths::ensureDirectory(nested));
    EXPECT_TRUE(fs::is_directory(nested));
    struct stat info {};
    ASSERT_EQ(::stat(nested.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(hx::paths::ensureDirectory(nested));  // already there
    std::string error;
    EXPECT_FALSE(hx::paths::ensureDirectory("/proc/no-such/place", &error));
    EXPECT_FALSE(error.empty());
    fs::remove_all(root);
}

}  // namespace
