// The host's handling of timelines other than the album widget's: several entries shown each
// at its date, "at end" and "never" policies, providers that answer late, and a widget whose
// provider answers with nothing.

#include <gtest/gtest.h>

#include <thread>

#include "platform/log/CaptureScope.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/widgetkit/Widget.h"
#include "tools/halidex-widget-host/WidgetHost.h"

namespace hx {
namespace {

using namespace widget_host;

struct CountEntry : TimelineEntry {
    int number;
    CountEntry(Date date, int n) : TimelineEntry(date), number(n) {}
};

// Answers each timeline request with what the test put in `next`; holds the answer back
// while `holdBack` is set, so the test can answer later.
class ScriptedProvider final : public IntentTimelineProvider<INIntent, CountEntry> {
  public:
    std::function<Timeline<CountEntry>(Date now)> next;
    bool holdBack = false;
    std::vector<std::function<void()>> heldBack;
    int asked = 0;

    CountEntry placeholder(const TimelineProviderContext&) override { return {Date::now(), -1}; }
    void getSnapshot(const INIntent&, const TimelineProviderContext&,
                     std::function<void(CountEntry)> completion) override {
        completion({Date::now(), -1});
    }
    void getTimeline(const INIntent&, const TimelineProviderContext&,
                     std::function<void(Timeline<CountEntry>)> completion) override {
        ++asked;
        Timeline<CountEntry> timeline = next(Date::now());
        if (holdBack)
            heldBack.push_back([completion, timeline] { completion(timeline); });
        else
            completion(timeline);
    }
};

class ScriptedWidget final : public Widget {
  public:
    explicit ScriptedWidget(std::shared_ptr<ScriptedProvider> provider)
        : provider_(std::move(provider)) {}
    WidgetConfiguration body() const override {
        return IntentConfiguration("scripted", provider_,
                                   [](const CountEntry& entry) -> ViewRef {
                                       return Text::make(std::to_string(entry.number));
                                   })
            .supportedFamilies({WidgetFamily::systemSmall});
    }

  private:
    std::shared_ptr<ScriptedProvider> provider_;
};

class ScriptedBundle final : public WidgetBundle {
  public:
    std::shared_ptr<ScriptedProvider> provider = std::make_shared<ScriptedProvider>();
    std::vector<std::shared_ptr<const Widget>> body() const override {
        return {std::make_shared<ScriptedWidget>(provider)};
    }
};

class TimelinePolicyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPendingWork();
        Clock::useManualTime(100);
        Date::setNow(Date{1'000'000});
        WidgetHost::Options options;
        options.scale = 1;
        options.print = [](const std::string&) {};
        host_ = std::make_unique<WidgetHost>(options);
        ASSERT_EQ(host_->addBundle(bundle_, {}), 1u);
    }
    void TearDown() override {
        host_.reset();
        RunLoop::main().discardPendingWork();
        Date::resetNow();
        Clock::useRealTime();
    }
    WidgetInstance& widget() { return *host_->instances()[0]; }
    int shownNumber() {
        const auto* entry = dynamic_cast<const CountEntry*>(widget().entry().get());
        return entry ? entry->number : -100;
    }
    // Entries 0, 1, 2 at now, +60 s and +120 s.
    static Timeline<CountEntry> threeEntries(Date now, TimelineReloadPolicy policy) {
        Timeline<CountEntry> timeline;
        for (int i = 0; i < 3; ++i)
            timeline.entries.emplace_back(Date{now.timeIntervalSince1970 + 60 * i}, i);
        timeline.policy = policy;
        return timeline;
    }

    std::shared_ptr<ScriptedBundle> bundle_ = std::make_shared<ScriptedBundle>();
    ScriptedProvider& provider_ = *bundle_->provider;
    std::unique_ptr<WidgetHost> host_;
};

TEST_F(TimelinePolicyTest, EachEntryShowsFromItsDateAndAtEndAsksAgainAfterTheLast) {
    provider_.next = [](Date now) { return threeEntries(now, TimelineReloadPolicy::atEnd()); };
    host_->start();
    EXPECT_EQ(shownNumber(), 0);
    RunLoop::main().advance(59);
    EXPECT_EQ(shownNumber(), 0);
    RunLoop::main().advance(1);
    EXPECT_EQ(shownNumber(), 1);
    EXPECT_EQ(provider_.asked, 1);
    RunLoop::main().advance(60);
    EXPECT_EQ(provider_.asked, 2) << "the last entry's date is the end";
    EXPECT_EQ(shownNumber(), 0) << "the new timeline starts again";
    EXPECT_EQ(widget().entriesShown(), 4);
}

TEST_F(TimelinePolicyTest, EntriesInThePastShowTheLatestAndAnEndedTimelineWaitsBeforeAsking) {
    // Every entry is already over: the latest is shown, and the host does not ask again at
    // once but after its minimum wait.
    provider_.next = [](Date now) {
        return threeEntries(Date{now.timeIntervalSince1970 - 600}, TimelineReloadPolicy::atEnd());
    };
    host_->start();
    EXPECT_EQ(shownNumber(), 2);
    RunLoop::main().advance(kMinimumReloadSeconds - 1);
    EXPECT_EQ(provider_.asked, 1);
    RunLoop::main().advance(1);
    EXPECT_EQ(provider_.asked, 2);
}

TEST_F(TimelinePolicyTest, NeverWaitsForARequest) {
    provider_.next = [](Date now) { return threeEntries(now, TimelineReloadPolicy::never()); };
    host_->start();
    RunLoop::main().advance(24 * 60 * 60);
    EXPECT_EQ(provider_.asked, 1);
    EXPECT_EQ(shownNumber(), 2);
    EXPECT_FALSE(widget().nextReload());
    host_->reloadAllTimelines(ReloadCause::reloadRequest);
    EXPECT_EQ(provider_.asked, 2);
    EXPECT_EQ(shownNumber(), 0);
}

TEST_F(TimelinePolicyTest, ALateAnswerToAnEarlierRequestIsDropped) {
    int generation = 0;
    provider_.next = [&](Date now) {
        ++generation;
        Timeline<CountEntry> timeline;
        timeline.entries.emplace_back(now, 100 + generation);
        timeline.policy = TimelineReloadPolicy::never();
        return timeline;
    };
    provider_.holdBack = true;
    host_->start();
    host_->reloadAllTimelines(ReloadCause::reloadRequest);
    ASSERT_EQ(provider_.heldBack.size(), 2u);
    provider_.heldBack[1]();  // the newer answer first
    EXPECT_EQ(shownNumber(), 102);
    provider_.heldBack[0]();  // the older one comes late and changes nothing
    EXPECT_EQ(shownNumber(), 102);
    EXPECT_EQ(widget().entriesShown(), 1);
}

TEST_F(TimelinePolicyTest, AnEmptyTimelineIsLoggedAndAskedAgainLater) {
    provider_.next = [](Date) { return Timeline<CountEntry>{}; };
    log::CaptureScope capture;
    host_->start();
    EXPECT_TRUE(capture.contains("without entries"));
    EXPECT_FALSE(widget().entry());
    RunLoop::main().advance(kMinimumReloadSeconds);
    EXPECT_EQ(provider_.asked, 2);
}

TEST_F(TimelinePolicyTest, AnAnswerFromAnotherThreadIsShownOnTheMainThread) {
    provider_.next = [](Date now) { return threeEntries(now, TimelineReloadPolicy::never()); };
    provider_.holdBack = true;
    host_->start();
    ASSERT_EQ(provider_.heldBack.size(), 1u);
    std::thread([&] { provider_.heldBack[0](); }).join();
    EXPECT_FALSE(widget().entry()) << "nothing is shown off the main thread";
    RunLoop::main().runUntil([&] { return widget().entry() != nullptr; }, 10);
    EXPECT_EQ(shownNumber(), 0);
}

}  // namespace
}  // namespace hx
