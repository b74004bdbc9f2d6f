#pragma once

// Failures and odd cameras on demand, for tests: a camera that refuses to be configured, a
// capture that fails, a device with no camera at all, and capabilities edited before the
// devices are made (another exposure-bias range, other formats, missing modes). The settings
// hold for every simulated camera of the process until reset().
//
// Threads: every member may be called from any thread.

#include <functional>

#include "platform/capture/CaptureDeviceCapabilities.h"

namespace hx::capture {

class SimulatedCamera {
  public:
    // lockForConfiguration() fails while set.
    static void setRefusesConfigurationLock(bool refuses);
    static bool refusesConfigurationLock();

    // Every capture ends with an error instead of a photo while set.
    static void setFailsCapture(bool fails);
    static bool failsCapture();

    // The backend reports no camera at all while set.
    static void setHidesDevices(bool hides);
    static bool hidesDevices();

    // Edits each camera's capabilities as a backend made afterwards creates its devices
    // (call CameraBackend::reset() to make one). Empty: no edits.
    static void setCapabilityOverride(std::function<void(CaptureDeviceCapabilities&)> edit);
    static void applyCapabilityOverride(CaptureDeviceCapabilities& capabilities);

    // Back to a camera that works.
    static void reset();
};

}  // namespace hx::capture
