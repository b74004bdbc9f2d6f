#pragma once
// What a camera script drives that only the application knows: whether the camera is busy, the
// views of the front-most screen by field name, and the quick actions. Everything else a script
// does (touches, keys, tilts, lifecycle, screenshots, timing) the script runner does through the
// window, the run loop and the platform layers.
//
// Threads: main thread only.

#include <functional>
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

    // The camera's own controls, each through the handler of its touch control. An application
    // without them ignores them.
    // A key of the camera's keyboard ('g', '3', '['); false when it does nothing now.
    virtual bool pressCameraKey(char /*key*/) { return false; }
    // The film picker's film; empty when chosen, else why not.
    virtual std::string chooseFilm(int /*film*/) { return "there is no film picker"; }
    // Exposure compensation in thirds of a stop.
    virtual void setExposureSteps(int /*thirds*/) {}
    // The zoom factor, clamped to the camera's range.
    virtual void setZoom(double /*factor*/) {}
    // The camera screen shows that its camera went away and none has taken its place.
    virtual bool isCameraGone() { return false; }
    // The photo viewer in front saves its photo into `folder` as its share menu's "Save a Copy"
    // does, without location when asked; `done` runs later on the main thread with an empty
    // error or the reason. False, with the reason, when no viewer with a photo is in front.
    using ShareDone = std::function<void(const std::string& error)>;
    virtual bool shareToFolder(const std::string& /*folder*/, bool /*withoutLocation*/,
                               ShareDone /*done*/, std::string* error) {
        if (error) *error = "no photo viewer";
        return false;
    }
};

}  // namespace hx::app
