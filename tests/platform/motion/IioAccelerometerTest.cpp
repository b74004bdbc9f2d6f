// The IIO backend against a fake sysfs tree in a temporary folder, laid out as the kernel lays
// out /sys/bus/iio/devices.

#include "platform/motion/iio/IioAccelerometer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "MotionTestSupport.h"
#include "platform/log/CaptureScope.h"
#include "platform/motion/MotionManager.h"

namespace hx {
namespace {

namespace fs = std::filesystem;

class FakeSysfs {
  public:
    FakeSysfs() {
        std::string pattern = (fs::temp_directory_path() / "hx-iio-XXXXXX").string();
        if (::mkdtemp(pattern.data())) root_ = pattern;
    }
    ~FakeSysfs() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    void write(const std::string& device, const std::string& file, const std::string& value) {
        fs::create_directories(fs::path(root_) / device);
        std::ofstream(fs::path(root_) / device / file) << value << '\n';
    }
    void device(const std::string& name, const std::map<std::string, std::string>& files) {
        for (const auto& [file, value] : files) write(name, file, value);
    }
    void remove(const std::string& device, const std::string& file) {
        fs::remove(fs::path(root_) / device / file);
    }
    const std::string& root() const { return root_; }

  private:
    std::string root_;
};

// An accelerometer as a tablet's sensor hub presents it: one shared scale, raw counts.
std::map<std::string, std::string> hubAccelerometer(int x, int y, int z) {
    return {{"name", "accel_3d"},
            {"in_accel_scale", "0.009806650"},  // 1000 counts = 1 g
            {"in_accel_offset", "0"},
            {"in_accel_x_raw", std::to_string(x)},
            {"in_accel_y_raw", std::to_string(y)},
            {"in_accel_z_raw", std::to_string(z)}};
}

using IioMotionTest = testing::MotionTest;

TEST_F(IioMotionTest, FindsTheAccelerometerAmongOtherSensorsInNumberOrder) {
    FakeSysfs sysfs;
    sysfs.device("iio:device0", {{"name", "als"}, {"in_illuminance_raw", "120"}});
    sysfs.device("iio:device10", hubAccelerometer(0, -1000, 0));
    // Any name will do for a device with raw acceleration channels.
    sysfs.device("iio:device2", {{"name", "lis3dh"},
                                 {"in_accel_x_raw", "0"},
                                 {"in_accel_y_raw", "0"},
                                 {"in_accel_z_raw", "0"}});
    sysfs.write("trigger0", "name", "accel_3d-dev0");
    EXPECT_EQ(fs::path(IioAccelerometer::findAccelerometer(sysfs.root())).filename(),
              "iio:device2");

    FakeSysfs empty;
    IioAccelerometer none(empty.root());
    EXPECT_FALSE(none.isAvailable());
    std::string error;
    EXPECT_FALSE(none.read(&error));
    EXPECT_FALSE(IioAccelerometer("/no/such/folder").isAvailable());
}

TEST_F(IioMotionTest, RawCountsBecomeGravityInGOnTheRunLoopClock) {
    FakeSysfs sysfs;
    sysfs.device("iio:device0", hubAccelerometer(0, -1000, 0));
    MotionManager manager(std::make_unique<IioAccelerometer>(sysfs.root()));
    ASSERT_TRUE(manager.isAccelerometerAvailable());
    EXPECT_STREQ(manager.backendName(), "iio");
    std::vector<AccelerometerData> samples;
    manager.setAccelerometerUpdateInterval(0.3);
    manager.startAccelerometerUpdatesToQueue(
        DispatchQueue::main(),
        [&](const std::optional<AccelerometerData>& d, const std::optional<MotionError>&) {
            if (d) samples.push_back(*d);
        });
    advance(0.3);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_NEAR(samples[0].x, 0, 1e-12);
    EXPECT_NEAR(samples[0].y, -1, 1e-12);

    // Turned on its side: the next sample reads the new counts.
    sysfs.write("iio:device0", "in_accel_x_raw", "707");
    sysfs.write("iio:device0", "in_accel_y_raw", "-707");
    advance(0.3);
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_NEAR(samples[1].x, 0.707, 1e-12);
    EXPECT_NEAR(samples[1].y, -0.707, 1e-12);
    EXPECT_DOUBLE_EQ(samples[1].timestamp, 0.6);
}

TEST_F(IioMotionTest, PerAxisScaleAndOffsetWinOverSharedOnes) {
    FakeSysfs sysfs;
    auto files = hubAccelerometer(10, 20, 30);
    files["in_accel_offset"] = "-10";
    files["in_accel_z_scale"] = "0.0980665";  // 100 counts = 1 g on z only
    files["in_accel_z_offset"] = "0";
    sysfs.device("iio:device0", files);
    IioAccelerometer sensor(sysfs.root());
    std::string error;
    auto reading = sensor.read(&error);
    ASSERT_TRUE(reading) << error;
    EXPECT_NEAR(reading->x, 0.0, 1e-12);
    EXPECT_NEAR(reading->y, 0.01, 1e-12);
    EXPECT_NEAR(reading->z, 0.3, 1e-12);
}

TEST_F(IioMotionTest, MountMatrixTurnsSensorAxesIntoDeviceAxes) {
    FakeSysfs sysfs;
    auto files = hubAccelerometer(1000, 0, 500);
    // A sensor mounted a quarter turn round: the device's y axis is the sensor's −x.
    files["in_accel_mount_matrix"] = "0, 1, 0; -1, 0, 0; 0, 0, 1";
    sysfs.device("iio:device0", files);
    IioAccelerometer sensor(sysfs.root());
    auto reading = sensor.read(nullptr);
    ASSERT_TRUE(reading);
    EXPECT_NEAR(reading->x, 0, 1e-12);
    EXPECT_NEAR(reading->y, -1, 1e-12);
    EXPECT_NEAR(reading->z, 0.5, 1e-12);

    sysfs.write("iio:device0", "in_accel_mount_matrix", "1, 0; 0, 1");
    log::CaptureScope capture;
    IioAccelerometer broken(sysfs.root());
    EXPECT_TRUE(capture.contains("mount matrix"));
    EXPECT_NEAR(broken.read(nullptr)->x, 1, 1e-12);  // identity instead
}

TEST_F(IioMotionTest, UnreadableSensorReportsAnErrorAndRecovers) {
    FakeSysfs sysfs;
    sysfs.device("iio:device0", hubAccelerometer(0, -1000, 0));
    MotionManager manager(std::make_unique<IioAccelerometer>(sysfs.root()));
    std::vector<AccelerometerData> samples;
    std::vector<MotionError> errors;
    manager.setAccelerometerUpdateInterval(0.1);
    manager.startAccelerometerUpdatesToQueue(
        DispatchQueue::main(),
        [&](const std::optional<AccelerometerData>& d, const std::optional<MotionError>& e) {
            if (d) samples.push_back(*d);
            if (e) errors.push_back(*e);
        });
    sysfs.write("iio:device0", "in_accel_y_raw", "not a number");
    advance(0.2);
    sysfs.remove("iio:device0", "in_accel_y_raw");
    advance(0.2);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].message.find("in_accel_y_raw"), std::string::npos);
    EXPECT_TRUE(samples.empty());
    sysfs.write("iio:device0", "in_accel_y_raw", "-1000");
    advance(0.1);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_NEAR(samples[0].y, -1, 1e-12);
}

TEST_F(IioMotionTest, FactoryPrefersARealSensorAndFollowsHalidexMotion) {
    FakeSysfs sysfs;
    sysfs.device("iio:device0", hubAccelerometer(0, -1000, 0));
    FakeSysfs empty;

    setEnv("HALIDEX_IIO_ROOT", sysfs.root().c_str());
    EXPECT_STREQ(MotionManager().backendName(), "iio");
    setEnv("HALIDEX_MOTION", "simulated");
    EXPECT_STREQ(MotionManager().backendName(), "simulated");

    setEnv("HALIDEX_IIO_ROOT", empty.root().c_str());
    setEnv("HALIDEX_MOTION", "auto");
    EXPECT_STREQ(MotionManager().backendName(), "simulated");
    setEnv("HALIDEX_MOTION", "iio");
    MotionManager forced;
    EXPECT_STREQ(forced.backendName(), "iio");
    EXPECT_FALSE(forced.isAccelerometerAvailable());

    setEnv("HALIDEX_MOTION", "gyroscope");
    log::CaptureScope capture;
    EXPECT_STREQ(MotionManager().backendName(), "simulated");
    EXPECT_TRUE(capture.contains("HALIDEX_MOTION"));
}

}  // namespace
}  // namespace hx
