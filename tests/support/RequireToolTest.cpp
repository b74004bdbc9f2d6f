// The checker gate: what counts as installed and as continuous integration, and that a missing
// checker fails a test under CI=true.

#include "tests/support/RequireTool.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "tests/support/ScopedEnvironment.h"

namespace {

using namespace hx::testsupport;

TEST(RequireTool, FindsProgramsOnThePathAndInSystemFolders) {
    EXPECT_TRUE(toolInstalled("sh"));
    EXPECT_FALSE(toolInstalled("halidex-no-such-checker"));
    EXPECT_EQ(missingTools({"sh", "halidex-no-such-checker", "halidex-nor-this"}),
              "halidex-no-such-checker, halidex-nor-this");
    EXPECT_EQ(missingTools({"sh"}), "");

    hx::testing::ScopedEnvironment env;
    env.set("PATH", "/nonexistent");
    EXPECT_FALSE(toolInstalled("sh"));
    EXPECT_TRUE(toolInstalled("ldconfig"));  // in /sbin or /usr/sbin on every Debian system
}

TEST(RequireTool, ContinuousIntegrationIsCiTrueOrOne) {
    hx::testing::ScopedEnvironment env;
    for (const char* value : {"true", "1"}) {
        env.set("CI", value);
        EXPECT_TRUE(runningUnderCI()) << value;
    }
    for (const char* value : {"", "false", "0", "yes"}) {
        env.set("CI", value);
        EXPECT_FALSE(runningUnderCI()) << value;
    }
    env.set("CI", nullptr);
    EXPECT_FALSE(runningUnderCI());
}

void requireAMissingChecker() {
    HX_REQUIRE_TOOLS("sh", "halidex-no-such-checker");
    ADD_FAILURE() << "the test went on without its checker";
}

TEST(RequireTool, MissingCheckerFailsUnderContinuousIntegration) {
    hx::testing::ScopedEnvironment env;
    env.set("CI", "true");
    EXPECT_FATAL_FAILURE(requireAMissingChecker(), "not installed: halidex-no-such-checker");
}

TEST(RequireTool, InstalledCheckersLetTheTestGoOn) {
    hx::testing::ScopedEnvironment env;
    env.set("CI", "true");
    bool reached = false;
    [&] {
        HX_REQUIRE_TOOLS("sh");
        reached = true;
    }();
    EXPECT_TRUE(reached);
}

}  // namespace
