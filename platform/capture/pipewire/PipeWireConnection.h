#pragma once

// One connection to a PipeWire daemon, run by a thread of its own: the registry of camera nodes
// (media class "Video/Source") with their properties and offered formats, and the consumer
// streams that bring their frames. Everything touching PipeWire objects happens with the
// thread's lock held (Lock); stream callbacks run on that thread with the lock held.
//
// Threads: every member may be called from any thread; the Stream members with Lock held.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/capture/pipewire/PipeWireCameraBackend.h"

struct pw_thread_loop;

namespace hx::capture {

class PipeWireConnection {
  public:
    // To the daemon of this session, or through `remoteFd` (a remote the desktop portal opened,
    // owned by the connection from then on) when it is not -1.
    static std::shared_ptr<PipeWireConnection> open(std::string* error, int remoteFd = -1);
    ~PipeWireConnection();
    PipeWireConnection(const PipeWireConnection&) = delete;
    PipeWireConnection& operator=(const PipeWireConnection&) = delete;

    class Lock {
      public:
        explicit Lock(const PipeWireConnection& connection);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

      private:
        pw_thread_loop* loop_;
    };

    // Waits (at most a few seconds) until the daemon has answered everything asked so far.
    // Without Lock held.
    bool synchronise() const;
    // The camera nodes present now, by node id.
    std::vector<PipeWireCamera> cameras() const;
    bool isPresent(const std::string& nodeName) const;

    // With Lock held: asks the daemon to put the camera to rest, which drops the frame size it
    // was last set to.
    void suspend(const std::string& nodeName);

    // Called on the connection's thread, with Lock held, whenever a camera node appears.
    using ArrivalObserver = std::function<void(const std::string& nodeName)>;
    // With Lock held, both.
    int observeArrivals(ArrivalObserver observer);
    void stopObservingArrivals(int token);
    // The same for a camera node going away; stopped with stopObservingArrivals.
    int observeRemovals(ArrivalObserver observer);

    // A consumer stream from one camera at one frame size. The callbacks run on the
    // connection's thread for each frame: `tap` (when set) before `frame`. `ended` is called
    // once when the camera goes away or the stream fails.
    struct Stream {
        std::function<void(const CameraFrame&)> frame, tap;
        std::function<void(const std::string& why)> ended;
        bool negotiated = false;
        CameraPixelFormat pixelFormat = CameraPixelFormat::YUY2;
        VideoDimensions size;
        struct Impl;
        std::unique_ptr<Impl> impl;
        ~Stream();
    };
    // With Lock held. Null when the stream cannot be made.
    std::unique_ptr<Stream> openStream(const PipeWireCamera& camera, VideoDimensions size,
                                       std::function<void(const CameraFrame&)> frame);

    struct State;

  private:
    PipeWireConnection();
    bool connectLocked(int remoteFd);
    std::unique_ptr<State> state_;
};

}  // namespace hx::capture
