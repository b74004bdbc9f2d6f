#include "platform/motion/MotionManager.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "MotionTestSupport.h"
#include "platform/motion/simulated/SimulatedAccelerometer.h"

namespace hx {
namespace {

using testing::MotionTest;

struct Samples {
    std::vector<AccelerometerData> data;
    std::vector<MotionError> errors;
    AccelerometerHandler handler() {
        return
            [this](const std::optional<AccelerometerData>& d, const std::optional<MotionError>& e) {
                EXPECT_NE(d.has_value(), e.has_value()) << "exactly one of sample and error";
                if (d) data.push_back(*d);
                if (e) errors.push_back(*e);
            };
    }
};

std::unique_ptr<MotionManager> simulatedManager() {
    return std::make_unique<MotionManager>(std::make_unique<SimulatedAccelerometer>());
}

using SimulatedMotionTest = MotionTest;

TEST_F(SimulatedMotionTest, SamplesArriveOnTheMainQueueOncePerInterval) {
    auto manager = simulatedManager();
    ASSERT_TRUE(manager->isAccelerometerAvailable());
    Samples samples;
    manager->setAccelerometerUpdateInterval(0.3);
    manager->startAccelerometerUpdatesToQueue(DispatchQueue::main(), samples.handler());
    EXPECT_TRUE(manager->isAccelerometerActive());
    advance(0.29);
    EXPECT_TRUE(samples.data.empty());
    advance(0.01);
    ASSERT_EQ(samples.data.size(), 1u);
    EXPECT_DOUBLE_EQ(samples.data[0].x, 0);
    EXPECT_DOUBLE_EQ(samples.data[0].y, -1);  // upright
    EXPECT_DOUBLE_EQ(samples.data[0].z, 0);
    EXPECT_DOUBLE_EQ(samples.data[0].timestamp, 0.3);
    advance(0.9);
    ASSERT_EQ(samples.data.size(), 4u);
    EXPECT_DOUBLE_EQ(samples.data[3].timestamp, 1.2);
    EXPECT_DOUBLE_EQ(manager->accelerometerData()->timestamp, 1.2);

    // A new interval applies to running updates at once.
    manager->setAccelerometerUpdateInterval(0.25);
    advance(1);
    EXPECT_EQ(samples.data.size(), 8u);

    manager->stopAccelerometerUpdates();
    EXPECT_FALSE(manager->isAccelerometerActive());
    advance(5);
    EXPECT_EQ(samples.data.size(), 8u);
}

TEST_F(SimulatedMotionTest, ScriptedReadingsComeInOrderAndTheLastOneStays) {
    auto manager = simulatedManager();
    Samples samples;
    SimulatedMotion::script({{0.4, -0.6, 0}, {0.7, 0.1, 0}, {0, 0, -1}});
    manager->setAccelerometerUpdateInterval(0.1);
    manager->startAccelerometerUpdatesToQueue(DispatchQueue::main(), samples.handler());
    advance(0.5);
    ASSERT_EQ(samples.data.size(), 5u);
    EXPECT_DOUBLE_EQ(samples.data[0].x, 0.4);
    EXPECT_DOUBLE_EQ(samples.data[1].x, 0.7);
    EXPECT_DOUBLE_EQ(samples.data[2].z, -1);
    EXPECT_DOUBLE_EQ(samples.data[4].z, -1);

    // The window's keys set the vector directly.
    SimulatedMotion::setAcceleration({1, 0, 0});
    advance(0.1);
    EXPECT_DOUBLE_EQ(samples.data.back().x, 1);
}

TEST_F(SimulatedMotionTest, WithoutAnAccelerometerNothingStarts) {
    SimulatedMotion::setAvailable(false);
    auto manager = simulatedManager();
    EXPECT_FALSE(manager->isAccelerometerAvailable());
    Samples samples;
    manager->startAccelerometerUpdatesToQueue(DispatchQueue::main(), samples.handler());
    EXPECT_FALSE(manager->isAccelerometerActive());
    advance(2);
    EXPECT_TRUE(samples.data.empty());
    EXPECT_TRUE(samples.errors.empty());
}

TEST_F(SimulatedMotionTest, FailingSensorIsReportedOncePerOutage) {
    auto manager = simulatedManager();
    Samples samples;
    manager->setAccelerometerUpdateInterval(0.1);
    manager->startAccelerometerUpdatesToQueue(DispatchQueue::main(), samples.handler());
    SimulatedMotion::setFailing(true);
    advance(1);
    ASSERT_EQ(samples.errors.size(), 1u);
    EXPECT_EQ(samples.errors[0].code, kMotionErrorSensorUnreadable);
    EXPECT_FALSE(samples.errors[0].message.empty());
    EXPECT_TRUE(samples.data.empty());

    SimulatedMotion::setFailing(false);
    advance(0.3);
    EXPECT_EQ(samples.data.size(), 3u);
    SimulatedMotion::setFailing(true);
    advance(0.3);
    EXPECT_EQ(samples.errors.size(), 2u);
}

TEST_F(SimulatedMotionTest, SamplesRunOnTheQueueGiven) {
    auto queue = DispatchQueue::makeSerial("motion test");
    auto manager = simulatedManager();
    std::mutex mutex;
    int count = 0;
    bool allOnQueue = true;
    const std::thread::id mainThread = std::this_thread::get_id();
    manager->setAccelerometerUpdateInterval(0.1);
    manager->startAccelerometerUpdatesToQueue(*queue, [&](const std::optional<AccelerometerData>&,
                                                          const std::optional<MotionError>&) {
        std::lock_guard lock(mutex);
        allOnQueue = allOnQueue && queue->isCurrent() && std::this_thread::get_id() != mainThread;
        ++count;
    });
    advance(0.3);
    auto threeArrived = [&] {
        std::lock_guard lock(mutex);
        return count == 3;
    };
    ASSERT_TRUE(RunLoop::main().runUntil(threeArrived, 10));
    manager.reset();  // stops the updates
    advance(1);
    std::lock_guard lock(mutex);
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(allOnQueue);
}

}  // namespace
}  // namespace hx
