#pragma once

// Failures and odd cameras on demand, for tests: a camera that refuses to be configured, a
// capture that fails, a device with no camera at all, cameras unplugged and plugged in again
// while they are in use, and capabilities edited before the
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

    // Every simulated camera goes away while set, as an unplugged camera does: the backend
    // offers none, each camera reports itself disconnected to its device (and connected again
    // when cleared), refuses to be configured, sends no frames, and a still asked for while it
    // is gone ends with AVErrorDeviceNotConnected. A still already taken is still delivered.
    static void setUnplugged(bool unplugged);
    static bool isUnplugged();
    // For the simulated cameras: `changed` hears every change of setUnplugged with whether the
    // cameras are connected now. Returns a token for stopObservingPlugging.
    static int observePlugging(std::function<void(bool connected)> changed);
    static void stopObservingPlugging(int token);

    // Edits each camera's capabilities as a backend made afterwards creates its devices
    // (call CameraBackend::reset() to make one). Empty: no edits.
    static void setCapabilityOverride(std::function<void(CaptureDeviceCapabilities&)> edit);
    static void applyCapabilityOverride(CaptureDeviceCapabilities& capabilities);

    // Back to a camera that works.
    static void reset();
};

}  // namespace hx::capture
