// The widget host with the widget linked in: timelines and reload policies on the manual
// clock, and reload requests from the real camera program.

#include <gtest/gtest.h>

#include "platform/widgetkit/WidgetKitHelper.h"
#include "tests/support/RunCommand.h"
#include "tests/widget/WidgetTestSupport.h"
#include "tools/halidex-widget-host/WidgetHost.h"
#include "widget/halidexwidget.h"

extern "C" hx::WidgetBundle* hxWidgetExtensionMain();

namespace hx {
namespace {

using namespace widget_host;

class WidgetHostTest : public widget_testing::WidgetLibraryTest {
  protected:
    void SetUp() override {
        WidgetLibraryTest::SetUp();
        albumWith({"2026:01:01 10:00:00", "2026:02:02 10:00:00", "2026:03:03 10:00:00"});
    }
    void TearDown() override {
        host_.reset();
        Date::resetNow();
        Clock::useRealTime();
        WidgetLibraryTest::TearDown();
    }

    void makeHost(bool manualClock) {
        if (manualClock) {
            RunLoop::main().discardPendingWork();
            Clock::useManualTime(500);
        }
        Date::setNow(*Date::fromISO8601("2026-03-14T09:00:00Z"));
        WidgetHost::Options options;
        options.scale = 1;
        options.logReloads = true;
        options.print = [this](const std::string& line) { lines_.push_back(line); };
        host_ = std::make_unique<WidgetHost>(options);
        host_->onPicture = [this](WidgetInstance&) { ++pictures_; };
        ASSERT_EQ(host_->addBundle(std::shared_ptr<WidgetBundle>(hxWidgetExtensionMain()), {}), 2u);
    }
    int reloadLines(const std::string& cause) const {
        int n = 0;
        for (const std::string& line : lines_)
            if (line.rfind("reload ", 0) == 0 &&
                line.find(": " + cause + " at") != std::string::npos)
                ++n;
        return n;
    }

    std::unique_ptr<WidgetHost> host_;
    std::vector<std::string> lines_;
    int pictures_ = 0;
};

TEST_F(WidgetHostTest, EveryWidgetShowsItsFirstEntryAndReloadsEveryThirtyMinutes) {
    makeHost(true);
    host_->start();
    ASSERT_EQ(host_->instances().size(), 2u);
    for (const auto& instance : host_->instances()) {
        EXPECT_EQ(instance->reloads(), 1);
        EXPECT_EQ(instance->entriesShown(), 1);
        EXPECT_FALSE(instance->picture().isNull());
        ASSERT_TRUE(instance->nextReload());
        EXPECT_EQ(instance->nextReload()->iso8601(), "2026-03-14T09:30:00Z");
    }
    EXPECT_EQ(host_->instances()[0]->picture().size(), QSize(170, 170));
    EXPECT_EQ(host_->instances()[1]->picture().size(), QSize(76, 76));
    EXPECT_EQ(reloadLines("first timeline"), 2);
    EXPECT_EQ(pictures_, 2);

    RunLoop::main().advance(30 * 60 - 1);
    EXPECT_EQ(reloadLines("policy date"), 0);
    RunLoop::main().advance(1);
    EXPECT_EQ(reloadLines("policy date"), 2);
    for (const auto& instance : host_->instances()) {
        EXPECT_EQ(instance->reloads(), 2);
        // A new entry, so a new view and a new pick of the photo.
        EXPECT_EQ(instance->entriesShown(), 2);
        EXPECT_EQ(instance->entry()->date.iso8601(), "2026-03-14T09:30:00Z");
        EXPECT_EQ(instance->nextReload()->iso8601(), "2026-03-14T10:00:00Z");
    }
    EXPECT_EQ(pictures_, 4);

    // Hours later the widget has kept to its half hours.
    RunLoop::main().advance(3 * 60 * 60);
    EXPECT_EQ(reloadLines("policy date"), 2 + 2 * 6);
}

TEST_F(WidgetHostTest, AReloadRequestReplacesTheScheduledReload) {
    makeHost(true);
    host_->start();
    RunLoop::main().advance(10 * 60);
    host_->reloadAllTimelines(ReloadCause::reloadRequest);
    EXPECT_EQ(reloadLines("reload request"), 2);
    EXPECT_EQ(host_->instances()[0]->nextReload()->iso8601(), "2026-03-14T09:40:00Z");
    // The old half hour passes without a reload; the new one brings it.
    RunLoop::main().advance(20 * 60);
    EXPECT_EQ(reloadLines("policy date"), 0);
    RunLoop::main().advance(10 * 60);
    EXPECT_EQ(reloadLines("policy date"), 2);
}

// The whole road: the camera program starts, its screen loads and asks the widget service to
// reload, and the running host gets the datagram and reloads its widgets.
TEST_F(WidgetHostTest, TheCameraStartingMakesTheHostReload) {
    makeHost(false);
    std::string error;
    ASSERT_TRUE(host_->startListening(&error)) << error;
    host_->start();
    const auto camera =
        testsupport::runCommand(testsupport::shellQuoted(HX_HALIDEX_PROGRAM) +
                                    " --headless --script - 2>&1 <<'EOF'\nquit\nEOF",
                                {{"HALIDEX_CAMERA", "simulated"},
                                 {"HALIDEX_MOTION", "simulated"},
                                 {"HALIDEX_CAMERA_AUTH", "authorized"},
                                 {"HALIDEX_PHOTOS_AUTH", "authorized"},
                                 {"HALIDEX_LOCATION_AUTH", "denied"},
                                 {"QT_QPA_PLATFORM", "offscreen"}});
    ASSERT_EQ(camera.status, 0) << camera.output;
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return reloadLines("reload request") == 2; }, 20))
        << "the host heard no reload request";
    for (const auto& instance : host_->instances()) EXPECT_EQ(instance->entriesShown(), 2);

    // The camera's own call, from this process, goes the same way.
    WidgetKitHelper::reloadAllWidgets();
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return reloadLines("reload request") == 4; }, 20));
}

}  // namespace
}  // namespace hx
