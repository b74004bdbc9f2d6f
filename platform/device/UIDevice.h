#pragma once
// The device the program runs on, as the camera asks about it: the hardware model identifier and
// name, the system version and the interface idiom. Values come from the current device profile
// (DeviceProfile::current()) on top of the running machine.
//
// Threads: no state of its own; every member may be called from any thread.

#include <string>

#include "platform/device/DeviceProfile.h"

namespace hx {

class UIDevice {
  public:
    static UIDevice& currentDevice();

    // The named system-information value as a string: "hw.machine" (the profile's model
    // identifier, else the machine name from uname), "hw.model", "hw.ncpu", "kern.ostype",
    // "kern.osrelease", "kern.version", "kern.hostname". An unknown name gives "" and a log line.
    std::string getSysInfoByName(const char* name) const;
    // getSysInfoByName("hw.machine"), e.g. "iPhone12,1", or "x86_64" on a plain machine.
    std::string modelIdentifier() const;
    // modelNameForModelIdentifier(modelIdentifier()).
    std::string modelName() const;
    // By the model-name table; the simulator rule reads the current profile's screen width.
    std::string modelNameForModelIdentifier(const std::string& identifier) const;

    std::string systemVersion() const;
    // Whether the system version is the given one or later ("17.2").
    bool systemVersionIsAtLeast(const std::string& version) const;
    UserInterfaceIdiom userInterfaceIdiom() const;
};

}  // namespace hx
