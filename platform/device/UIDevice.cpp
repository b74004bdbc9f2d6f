#include "platform/device/UIDevice.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/device/ModelNames.h"
#include "platform/log/Log.h"

namespace hx {

namespace {

// The board's product name where the firmware tells it, else the machine name.
std::string hardwareModel(const utsname& system) {
    std::ifstream file("/sys/class/dmi/id/product_name");
    std::string name;
    if (file && std::getline(file, name) && !name.empty()) return name;
    return system.machine;
}

}  // namespace

UIDevice& UIDevice::currentDevice() {
    static UIDevice device;
    return device;
}

std::string UIDevice::getSysInfoByName(const char* name) const {
    if (!name) return {};
    if (std::strcmp(name, "hw.machine") == 0) {
        std::string identifier = DeviceProfile::current().modelIdentifier;
        if (!identifier.empty()) return identifier;
    }
    utsname system{};
    if (::uname(&system) != 0) {
        hxLog("uname failed: %s", std::strerror(errno));
        return {};
    }
    if (std::strcmp(name, "hw.machine") == 0) return system.machine;
    if (std::strcmp(name, "hw.model") == 0) return hardwareModel(system);
    if (std::strcmp(name, "hw.ncpu") == 0) return std::to_string(::sysconf(_SC_NPROCESSORS_ONLN));
    if (std::strcmp(name, "kern.ostype") == 0) return system.sysname;
    if (std::strcmp(name, "kern.osrelease") == 0) return system.release;
    if (std::strcmp(name, "kern.version") == 0) return system.version;
    if (std::strcmp(name, "kern.hostname") == 0) return system.nodename;
    hxLog("Unknown system information name %s", name);
    return {};
}

std::string UIDevice::modelIdentifier() const {
    return getSysInfoByName("hw.machine");
}

std::string UIDevice::modelName() const {
    return modelNameForModelIdentifier(modelIdentifier());
}

std::string UIDevice::modelNameForModelIdentifier(const std::string& identifier) const {
    return hx::modelNameForModelIdentifier(identifier, DeviceProfile::current().width);
}

std::string UIDevice::systemVersion() const {
    return DeviceProfile::current().systemVersion;
}

bool UIDevice::systemVersionIsAtLeast(const std::string& version) const {
    return compareVersions(systemVersion(), version) >= 0;
}

UserInterfaceIdiom UIDevice::userInterfaceIdiom() const {
    return DeviceProfile::current().idiom;
}

}  // namespace hx
