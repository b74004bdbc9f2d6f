#include "platform/runloop/NotificationCenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "ManualClockTest.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx {
namespace {

using ::testing::ElementsAre;
using Notifications = testing::ManualClockTest;

TEST_F(Notifications, MatchesByNameAndSenderInRegistrationOrder) {
    NotificationCenter center;
    int sender = 0, other = 0;
    std::vector<std::string> log;
    center.addObserverForName("A", nullptr, nullptr, [&](const Notification& n) {
        log.push_back("any-sender " + n.name);
    });
    center.addObserverForName("A", &sender, nullptr,
                              [&](const Notification& n) { log.push_back("sender " + n.name); });
    center.addObserverForName("", nullptr, nullptr,
                              [&](const Notification& n) { log.push_back("every " + n.name); });

    center.postNotificationName("A", &sender);
    center.postNotificationName("A", &other);
    center.postNotificationName("B");
    EXPECT_THAT(log, ElementsAre("any-sender A", "sender A", "every A", "any-sender A", "every A",
                                 "every B"));
}

TEST_F(Notifications, QueuedDeliveryRunsOnTheQueueAndStopsOnceRemoved) {
    NotificationCenter center;
    std::vector<bool> onMainThread;
    auto token = center.addObserverForName(
        "A", nullptr, &DispatchQueue::main(),
        [&](const Notification& n) { onMainThread.push_back(RunLoop::isMainThread()); });
    center.postNotificationName("A");
    EXPECT_TRUE(onMainThread.empty()) << "queued, not delivered on the posting call";
    loop().advance(0);
    EXPECT_THAT(onMainThread, ElementsAre(true));

    // A delivery already queued when the observer goes away never runs.
    center.postNotificationName("A");
    center.removeObserver(token);
    loop().advance(0);
    EXPECT_EQ(onMainThread.size(), 1u);
    center.removeObserver(token);  // a second removal is harmless
}

TEST_F(Notifications, ObserverMayRemoveItselfWhileBeingNotified) {
    NotificationCenter center;
    int calls = 0;
    NotificationCenter::ObserverToken token = 0;
    token = center.addObserverForName("A", nullptr, nullptr, [&](const Notification&) {
        ++calls;
        center.removeObserver(token);
    });
    center.postNotificationName("A");
    center.postNotificationName("A");
    EXPECT_EQ(calls, 1);
}

TEST_F(Notifications, PostsFromBackgroundThreadsReachEveryObserver) {
    NotificationCenter center;
    std::atomic<int> received{0};
    center.addObserverForName("tick", nullptr, nullptr, [&](const Notification&) { ++received; });
    DispatchQueue::concurrentPerform(200,
                                     [&](std::size_t) { center.postNotificationName("tick"); });
    EXPECT_EQ(received.load(), 200);
}

TEST_F(Notifications, UserInfoReachesEveryObserverAndMissingEntriesReadAsEmpty) {
    NotificationCenter center;
    std::vector<Notification> received;
    center.addObserverForName("V", nullptr, nullptr,
                              [&](const Notification& n) { received.push_back(n); });
    center.addObserverForName("V", nullptr, &DispatchQueue::main(),
                              [&](const Notification& n) { received.push_back(n); });
    int sender = 0;
    center.postNotificationName("V", &sender, {{"level", 0.25}, {"why", std::string("press")}});
    loop().advance(0);
    ASSERT_EQ(received.size(), 2u);
    for (const Notification& n : received) {
        EXPECT_EQ(n.object, &sender);
        EXPECT_EQ(n.numberValue("level"), 0.25);
        EXPECT_EQ(n.textValue("why"), "press");
        // Missing, or of the other kind: zero and empty.
        EXPECT_EQ(n.numberValue("why"), 0);
        EXPECT_EQ(n.textValue("level"), "");
        EXPECT_EQ(n.numberValue("absent"), 0);
        EXPECT_EQ(n.textValue("absent"), "");
    }
    // A post without user info carries none.
    center.postNotificationName("V");
    loop().advance(0);
    ASSERT_EQ(received.size(), 4u);
    EXPECT_TRUE(received[2].userInfo.empty());
    EXPECT_TRUE(received[3].userInfo.empty());
}

}  // namespace
}  // namespace hx
