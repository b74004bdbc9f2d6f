#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/location/LocationAuthorization.h"
#include "platform/location/LocationManager.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "tests/support/ScopedEnvironment.h"

namespace hx::testing {

// Each case gets its own HALIDEX_HOME (so no answer recorded by one case reaches another), no
// location variables, an empty main queue on this thread and the manual clock at 0.
class LocationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "hx-location-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        home_ = pattern;
        env_.set("HALIDEX_HOME", home_.c_str());
        for (const char* name : {"HALIDEX_LOCATION", "HALIDEX_LOCATION_AUTH",
                                 "HALIDEX_LOCATION_SERVICES", "HALIDEX_LOCATION_POINT"})
            env_.set(name, nullptr);
        LocationAuthorization::setPromptAnswer(std::nullopt);
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPendingWork();
        Clock::useManualTime(0);
    }
    void TearDown() override {
        RunLoop::main().discardPendingWork();
        Clock::useRealTime();
        LocationAuthorization::setPromptAnswer(std::nullopt);
        std::error_code ec;
        std::filesystem::remove_all(home_, ec);
    }
    static void runQueued() { RunLoop::main().advance(0); }
    static std::string dataFile(const char* name) {
        return std::string(HX_LOCATION_TEST_DATA) + "/" + name;
    }

    ScopedEnvironment env_;
    std::string home_;
};

// Records every callback in order.
class RecordingDelegate : public LocationManagerDelegate {
  public:
    void didUpdateLocations(LocationManager&, const std::vector<Location>& locations) override {
        for (const Location& l : locations) fixes.push_back(l);
        events.push_back("update");
    }
    void didFailWithError(LocationManager&, LocationError error) override {
        errors.push_back(error.code);
        events.push_back("fail " + std::to_string(error.code));
    }
    void didChangeAuthorization(LocationManager&, AuthorizationStatus status) override {
        statuses.push_back(status);
        events.push_back("auth " + std::to_string(static_cast<int>(status)));
    }

    std::vector<Location> fixes;
    std::vector<int> errors;
    std::vector<AuthorizationStatus> statuses;
    std::vector<std::string> events;
};

}  // namespace hx::testing
