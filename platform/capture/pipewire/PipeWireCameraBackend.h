#pragma once

// Cameras of a PipeWire daemon: every node of media class "Video/Source" is a capture device.
// Its position comes from the node's properties where the device states one ("front" or
// "back"), or from a name that says it faces the user; otherwise it is a back camera. Its
// formats are the frame sizes the node offers, and a photo carries the device's own vendor and
// product names.
//
// The backend talks to the daemon from a thread of its own. Cameras that appear later are
// offered by the next devices() and announced with AVCaptureDeviceWasConnectedNotification (no
// object); a camera that goes away is no longer offered, its streams end and its device reports
// itself disconnected (CaptureDevice::isConnected()).
//
// Threads: every member may be called from any thread.

#include <memory>
#include <string>
#include <vector>

#include "platform/capture/CameraBackend.h"
#include "platform/capture/convert/FrameConversion.h"

namespace hx::capture {

// One frame layout a node offers.
struct PipeWireFormat {
    CameraPixelFormat pixelFormat = CameraPixelFormat::YUY2;
    VideoDimensions size;
};

// What the daemon says of one camera node.
struct PipeWireCamera {
    uint32_t id = 0;
    std::string name;         // node.name: stable while the device stays
    std::string description;  // what a user reads
    std::string vendor, product;
    CaptureDevicePosition position = AVCaptureDevicePositionBack;
    std::vector<PipeWireFormat> formats;
};

class PipeWireConnection;

class PipeWireCameraBackend : public CameraBackend {
  public:
    // Connects to the daemon of this session (PIPEWIRE_REMOTE, or the default socket under
    // XDG_RUNTIME_DIR) and lists its cameras. Null, with the reason, when no daemon answers.
    // Inside a sandbox (CameraPortal.h) it connects through the remote the desktop portal opens
    // once it grants access; when the portal refuses or cannot be asked, the backend offers no
    // camera, with a log line saying why.
    static std::shared_ptr<PipeWireCameraBackend> connect(std::string* error = nullptr);
    ~PipeWireCameraBackend() override;

    const char* name() const override { return "pipewire"; }
    std::vector<CaptureDeviceRef> devices() override;

    // The cameras present now, as the daemon describes them.
    std::vector<PipeWireCamera> cameras() const;
    // Waits until every change the daemon has made so far is known here.
    void synchronise() const;

  private:
    explicit PipeWireCameraBackend(std::shared_ptr<PipeWireConnection> connection);
    struct Devices;
    std::shared_ptr<PipeWireConnection> connection_;
    std::shared_ptr<Devices> devices_;
};

}  // namespace hx::capture
