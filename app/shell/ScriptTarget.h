#pragma once
// What a camera script drives that only the application knows: whether the camera is busy, the
// views of the front-most screen by field name, and the quick actions. Everything else a script
// does (touches, keys, tilts, lifecycle, screenshots, timing) the script runner does through the
// window, the run loop and the platform layers.
//
// Threads: main thread only.

#include <memory>
#include <string>

namespace hx {
class UIView;
}

namespace hx::app {

// The hardware keys a script presses: the volume keys and the capture button.
enum class HardwareKey { VolumeUp, VolumeDown, Capture };

// The ways a script holds the device, as gravity along the screen's axes.
enum class Tilt { Portrait, UpsideDown, LandscapeLeft, LandscapeRight };

class ScriptTarget {
  public:
    virtual ~ScriptTarget() = default;
    // No capture is being rendered and no save is pending.
    virtual bool isIdle() = 0;
    // The view the front-most screen holds under this field name (such as "_settingButton");
    // null when there is none.
    virtual std::shared_ptr<UIView> viewNamed(const std::string& field) = 0;
    // A quick action: "takephoto" or "takeselfie".
    virtual void performAction(const std::string& action) = 0;
};

}  // namespace hx::app
