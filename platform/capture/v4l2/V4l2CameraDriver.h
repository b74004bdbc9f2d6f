#pragma once

// One V4L2 camera. A thread of its own owns the open node and every ioctl on it: it streams by
// memory-mapped buffers (REQBUFS, QUERYBUF, mmap, QBUF, STREAMON; DQBUF after poll()), converts
// each frame to BGRA into the stream's pool, turned and cut to the buffer's shape, and hands it
// over on "v4l2 camera frames". The preview streams in the layout chooseV4l2PreviewFormat()
// picks; a still is taken in the active format's layout: from the running stream when it
// already is that layout, otherwise the preview stops, the camera is set to the still's layout
// for a few frames, and the preview starts again in its own. A preview stopped and started again
// within a second keeps the camera running, since a webcam takes most of a second to start.
//
// Settings reach the camera as controls (see v4l2ControlsFor()); a control the camera refuses is
// logged once and left alone after. Zoom is the camera's own where it has a zoom control, else a
// digital crop. A camera that goes away (ENODEV, or an error on poll) ends its stream with a log
// line, refuses configuration and photos as not connected, and is offered again by the backend
// once it is back (reconnected()).
//
// Threads: as CameraDriver says. Stills are handed over on "v4l2 camera stills".

#include <memory>

#include "platform/capture/CameraDriver.h"
#include "platform/capture/v4l2/V4l2Camera.h"

namespace hx::capture {

class V4l2CameraDriver : public CameraDriver {
  public:
    V4l2CameraDriver(std::shared_ptr<V4l2Io> io, V4l2Camera camera);
    ~V4l2CameraDriver() override;

    const CaptureDeviceCapabilities& capabilities() const override;
    void attach(std::shared_ptr<DispatchQueue> deviceQueue,
                std::weak_ptr<CameraDriverListener> listener) override;
    bool acquireConfigurationLock(CaptureError* error) override;
    void settingsChanged(const CaptureDeviceSettings& settings, SettingsChange change) override;
    void startStreaming(const StreamConfiguration& configuration, FrameHandler handler) override;
    void stopStreaming() override;
    void captureStill(const StillRequest& request, StillHandler handler) override;
    bool isDimScene() const override { return false; }
    // A camera gone away is reported to its device, which interrupts the session until it is back.
    bool isConnected() const override;

    // Whether the camera has gone away and not come back.
    bool isGone() const;
    // The camera went away (its node is no longer listed).
    void markGone();
    // The same camera is back, perhaps at another node; a preview that was asked for goes on.
    void reconnected(const V4l2Camera& camera);

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace hx::capture
