#include "platform/gpu/Device.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/gpu/cpu/CpuDevice.h"
#include "platform/log/Log.h"

namespace hx::gpu {

DeviceRef createSystemDefaultDevice() {
    static std::mutex mutex;
    static DeviceRef device;
    std::lock_guard lock(mutex);
    if (!device) {
        const char* wanted = std::getenv("HALIDEX_GPU");
        if (wanted && *wanted && std::strcmp(wanted, "cpu") != 0)
            hxLog("GPU backend \"%s\" is not available; using the CPU renderer", wanted);
        device = std::make_shared<cpu::CpuDevice>();
    }
    return device;
}

}  // namespace hx::gpu
