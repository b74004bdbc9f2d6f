#include "platform/gpu/Device.h"

#include <cstdlib>
#include <mutex>

#include "platform/gpu/cpu/CpuDevice.h"
#include "platform/gpu/gl/GlDevice.h"
#include "platform/gpu/gl/GlPresentation.h"
#include "platform/log/Log.h"

namespace hx::gpu {

namespace {

struct SystemDevice {
    std::mutex mutex;
    DeviceRef device;
    std::string problem;
};

SystemDevice& systemDevice() {
    static SystemDevice system;
    return system;
}

}  // namespace

DeviceRef chooseDevice(const std::string& wanted, std::string* problem) {
    if (wanted == "cpu") return std::make_shared<cpu::CpuDevice>();
    if (wanted == "auto" || wanted.empty()) {
        // Without a GPU node a GL driver can only be a software one, not worth starting.
        if (!gl::hasGpuNode()) return std::make_shared<cpu::CpuDevice>();
        std::string error;
        auto device = gl::GlDevice::create(&error);
        if (device && !device->info().software) return device;
        return std::make_shared<cpu::CpuDevice>();
    }
    std::string error;
    DeviceRef device = createDevice(wanted, &error);
    if (device) return device;
    const std::string why = wanted + ": " + error;
    hxLog("GPU backend %s; using the CPU renderer", why.c_str());
    if (problem) *problem = why;
    return std::make_shared<cpu::CpuDevice>();
}

DeviceRef createSystemDefaultDevice() {
    SystemDevice& system = systemDevice();
    std::lock_guard lock(system.mutex);
    if (!system.device) {
        const char* wanted = std::getenv("HALIDEX_GPU");
        system.device = chooseDevice(wanted ? wanted : "", &system.problem);
    }
    return system.device;
}

std::string systemDeviceProblem() {
    createSystemDefaultDevice();
    SystemDevice& system = systemDevice();
    std::lock_guard lock(system.mutex);
    return system.problem;
}

DeviceRef createDevice(const std::string& backend, std::string* error) {
    if (backend == "cpu") return std::make_shared<cpu::CpuDevice>();
    if (backend == "gl") return gl::GlDevice::create(error);
    if (error) *error = "no backend of that name (cpu, gl, auto)";
    return nullptr;
}

DeviceDescription describeDevice(const Device& device) {
    DeviceDescription d;
    if (const auto* glDevice = dynamic_cast<const gl::GlDevice*>(&device)) {
        const gl::ContextInfo& info = glDevice->info();
        d.backend = "gl";
        d.platform = info.platform;
        d.eglVendor = info.eglVendor;
        d.vendor = info.vendor;
        d.renderer = info.renderer;
        d.version = info.version;
        d.software = info.software;
    } else {
        d.backend = "cpu";
    }
    return d;
}

}  // namespace hx::gpu
