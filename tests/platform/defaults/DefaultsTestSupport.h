#pragma once
// A temporary HALIDEX_HOME for one test, removed afterwards, and file helpers.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace hx::test {

class TemporaryHome : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("HALIDEX_HOME");
        if (old) savedHome_ = old;
        home = std::filesystem::temp_directory_path() /
               ("hx-defaults-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(home);
        std::filesystem::create_directories(home);
        ::setenv("HALIDEX_HOME", home.c_str(), 1);
    }
    void TearDown() override {
        if (savedHome_)
            ::setenv("HALIDEX_HOME", savedHome_->c_str(), 1);
        else
            ::unsetenv("HALIDEX_HOME");
        std::filesystem::remove_all(home);
    }

    std::string configFile(const std::string& name) const {
        return (home / "config" / name).string();
    }
    static std::string readText(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    static void writeText(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    std::filesystem::path home;

  private:
    std::optional<std::string> savedHome_;
};

}  // namespace hx::test
