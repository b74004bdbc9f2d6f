#pragma once

// What each kind of simulated camera is: its capabilities as a phone's camera of that kind
// reports them, and its optics. Ultra-wide and front cameras have fixed focus; back cameras
// have a flash; the front camera can boost low light. Multi-camera devices switch to a longer
// lens as they zoom in, as a phone's do.

#include <string>
#include <vector>

#include "platform/capture/CaptureDeviceCapabilities.h"
#include "platform/device/DeviceProfile.h"

namespace hx::capture {

// A lens and how much of the scene it sees, relative to the wide-angle lens.
struct SimulatedLens {
    double field = 1;
    LensDescription description;
};

struct SimulatedCameraModel {
    CaptureDeviceCapabilities capabilities;
    // Widest first. A single camera has one; a multi-camera device uses the longest lens that
    // still covers the zoomed field.
    std::vector<SimulatedLens> lenses;

    double fieldAtZoom1() const { return lenses.front().field; }
    const SimulatedLens& lensAt(double zoom) const;
};

SimulatedCameraModel simulatedCameraModel(const CameraDescription& camera);

// The formats of a camera with this largest still: the still and smaller 4:3-ish sizes with
// sides in multiples of 16, smallest first.
std::vector<VideoDimensions> formatsForStill(int width, int height);

}  // namespace hx::capture
