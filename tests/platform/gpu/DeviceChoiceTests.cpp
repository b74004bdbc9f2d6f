// Choosing the backend from HALIDEX_GPU's value, and what the devices say about themselves.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/gpu/Device.h"
#include "platform/gpu/gl/GlContext.h"
#include "platform/log/CaptureScope.h"

namespace hx::gpu {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

TEST(DeviceChoice, CpuIsTheCpuBackendWithoutComplaint) {
    std::string problem;
    DeviceRef device = chooseDevice("cpu", &problem);
    ASSERT_TRUE(device);
    EXPECT_EQ(describeDevice(*device).backend, "cpu");
    EXPECT_THAT(problem, IsEmpty());
}

TEST(DeviceChoice, GlIsOpenGlEsWithItsRendererAndVersion) {
    std::string problem;
    DeviceRef device = chooseDevice("gl", &problem);
    ASSERT_TRUE(device);
    ASSERT_THAT(problem, IsEmpty()) << "scripts/install-deps.sh installs Mesa's llvmpipe";
    const DeviceDescription d = describeDevice(*device);
    EXPECT_EQ(d.backend, "gl");
    EXPECT_THAT(d.version, HasSubstr("OpenGL ES 3."));
    EXPECT_FALSE(d.renderer.empty());
    EXPECT_FALSE(d.eglVendor.empty());
    EXPECT_THAT(d.platform, ::testing::AnyOf("surfaceless", "pbuffer", "device"));
    EXPECT_THAT(device->name(), HasSubstr(d.renderer));
}

TEST(DeviceChoice, AutoNeverTakesASoftwareRenderer) {
    // Unset and "auto" alike: on a machine whose only GL is a CPU rasteriser the CPU backend
    // is faster, and on one with a GPU the GL device must be a hardware one.
    for (const char* wanted : {"", "auto"}) {
        std::string problem;
        DeviceRef device = chooseDevice(wanted, &problem);
        ASSERT_TRUE(device) << wanted;
        const DeviceDescription d = describeDevice(*device);
        if (d.backend == "gl") {
            EXPECT_FALSE(d.software) << d.renderer;
        }
        EXPECT_THAT(problem, IsEmpty()) << wanted;
    }
}

TEST(DeviceChoice, AnUnknownBackendFallsBackToTheCpuAndSaysWhy) {
    log::CaptureScope log;
    std::string problem;
    DeviceRef device = chooseDevice("no-such-backend", &problem);
    ASSERT_TRUE(device);
    EXPECT_EQ(describeDevice(*device).backend, "cpu");
    EXPECT_THAT(problem, HasSubstr("no-such-backend"));
    EXPECT_TRUE(log.contains("using the CPU renderer"));
}

TEST(DeviceChoice, SoftwareRenderersAreKnownByNameAndHardwareOnesAreNot) {
    for (const char* renderer :
         {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Software Rasterizer"})
        EXPECT_TRUE(gl::isSoftwareRenderer(renderer)) << renderer;
    // A hardware driver built on LLVM names LLVM too.
    for (const char* renderer :
         {"AMD Radeon RX 6800 (navi21, LLVM 15.0.6, DRM 3.49, 6.1.0)",
          "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "NVIDIA H100 80GB HBM3/PCIe/SSE2"})
        EXPECT_FALSE(gl::isSoftwareRenderer(renderer)) << renderer;
}

}  // namespace
}  // namespace hx::gpu
