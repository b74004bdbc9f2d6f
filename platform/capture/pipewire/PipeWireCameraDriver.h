#pragma once

// One PipeWire camera. The preview streams at the smallest size the camera offers that covers
// the stream asked for (or its largest), converted to BGRA into the stream's pool, turned and
// cut to the buffer's shape. A still is taken at the active format: from the running stream
// when it already has that size, otherwise the preview stops, a stream at the still's size
// brings one frame, and the preview starts again at its own size. A still whose camera goes away
// before it arrives ends at once with AVErrorDeviceNotConnected. The camera focuses and
// exposes by itself; zoom is a digital crop. Stills carry the device's vendor and product names
// as the photo's make and model.
//
// Threads: as CameraDriver says. Frames are handed over on "pipewire camera frames", stills on
// "pipewire camera stills".

#include <memory>

#include "platform/capture/CameraDriver.h"
#include "platform/capture/pipewire/PipeWireCameraBackend.h"

namespace hx::capture {

class PipeWireCameraDriver : public CameraDriver {
  public:
    PipeWireCameraDriver(std::shared_ptr<PipeWireConnection> connection, PipeWireCamera camera);
    ~PipeWireCameraDriver() override;

    const CaptureDeviceCapabilities& capabilities() const override;
    void attach(std::shared_ptr<DispatchQueue> deviceQueue,
                std::weak_ptr<CameraDriverListener> listener) override;
    bool acquireConfigurationLock(CaptureError* error) override;
    void settingsChanged(const CaptureDeviceSettings& settings, SettingsChange change) override;
    void startStreaming(const StreamConfiguration& configuration, FrameHandler handler) override;
    void stopStreaming() override;
    void captureStill(const StillRequest& request, StillHandler handler) override;
    bool isDimScene() const override { return false; }
    // Whether a node of the camera's name is there now. A camera whose node goes away is
    // reported disconnected; a node of the same name appearing later is the same camera back.
    bool isConnected() const override;

    // The size the preview streams at for a stream of these (sensor-orientation) dimensions.
    static VideoDimensions previewSizeFor(const PipeWireCamera& camera, VideoDimensions wanted);

    struct State;

  private:
    std::shared_ptr<State> state_;
};

// The capabilities a PipeWire camera reports.
CaptureDeviceCapabilities pipeWireCapabilities(const PipeWireCamera& camera);

}  // namespace hx::capture
