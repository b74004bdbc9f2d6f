#pragma once

// One simulated camera: it paints its scene through its lens. Frames come at the stream's pace
// from a timer on the run loop's clock and are painted on a queue of their own; a frame that
// falls due while the previous one is still being painted is skipped. Focus and exposure change
// over time after each request (SimulatedOptics) and are reported to the device as they start
// and settle. Exposure meters the scene around its point of interest. Stills are painted fresh
// at the active format's full size in sensor orientation, lit by the flash when it fires.
//
// Threads: as CameraDriver says. Frames are painted on "simulated camera frames", stills on
// "simulated camera stills"; their handlers are called there.

#include <memory>

#include "platform/capture/CameraDriver.h"
#include "platform/capture/scene/Scene.h"
#include "platform/capture/simulated/CameraCatalogue.h"

namespace hx::capture {

class SimulatedCameraDriver : public CameraDriver {
  public:
    SimulatedCameraDriver(SimulatedCameraModel model, std::shared_ptr<const scene::Scene> scene);
    ~SimulatedCameraDriver() override;

    const CaptureDeviceCapabilities& capabilities() const override;
    void attach(std::shared_ptr<DispatchQueue> deviceQueue,
                std::weak_ptr<CameraDriverListener> listener) override;
    bool acquireConfigurationLock(CaptureError* error) override;
    void settingsChanged(const CaptureDeviceSettings& settings, SettingsChange change) override;
    void startStreaming(const StreamConfiguration& configuration, FrameHandler handler) override;
    void stopStreaming() override;
    void captureStill(const StillRequest& request, StillHandler handler) override;
    bool isDimScene() const override;
    bool isConnected() const override;

    struct State;

  private:
    std::shared_ptr<State> state_;
    int pluggingToken_ = 0;
};

}  // namespace hx::capture
