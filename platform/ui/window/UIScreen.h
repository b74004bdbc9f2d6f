#pragma once
// The screen of the current device profile (DeviceProfile::current()): bounds in points for
// the current interface orientation, scale and safe-area insets.
//
// Threads: main thread only.

#include "platform/device/DeviceProfile.h"
#include "platform/geometry/Geometry.h"

namespace hx {

class UIScreen {
  public:
    static UIScreen& mainScreen();

    // (0, 0, width, height) in points; the sides are swapped while the window scene is in a
    // landscape orientation.
    CGRect bounds() const;
    // The profile's portrait bounds, whatever the orientation.
    CGRect nativeBounds() const;
    double scale() const;
    double nativeScale() const { return scale(); }
    // The display refresh the GPU view draws at.
    int maximumFramesPerSecond() const { return 60; }
    // The profile's insets in portrait.
    UIEdgeInsets portraitSafeAreaInsets() const;

    DeviceProfile profile() const { return DeviceProfile::current(); }
};

}  // namespace hx
