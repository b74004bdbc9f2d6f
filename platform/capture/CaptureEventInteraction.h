#pragma once

// Capture events from hardware buttons: the camera screen makes an interaction whose handler
// hears each press as a began phase and its release as an ended phase (cancelled when the
// press is taken away, as when the interaction is disabled mid-press). The window sends the
// presses it sees (the volume keys) through deliverHardwareButtonPhase(); every live, enabled
// interaction hears them. Volume up is the primary button, volume down the secondary one; an
// interaction without a secondary handler hears both on its primary handler.
//
// Threads: handlers run on the main thread. deliverHardwareButtonPhase() may be called from any
// thread: on the main thread the handlers run inside the call, elsewhere they are queued to it.
// Make and destroy interactions on the main thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace hx::capture {

enum CaptureEventPhase : int64_t {
    AVCaptureEventPhaseBegan = 0,
    AVCaptureEventPhaseEnded = 1,
    AVCaptureEventPhaseCancelled = 2,
};

enum class CaptureEventButton { Primary, Secondary };

class CaptureEvent {
  public:
    explicit CaptureEvent(CaptureEventPhase phase) : phase_(phase) {}
    CaptureEventPhase phase() const { return phase_; }

  private:
    CaptureEventPhase phase_;
};

class CaptureEventInteraction : public std::enable_shared_from_this<CaptureEventInteraction> {
  public:
    using Handler = std::function<void(const CaptureEvent& event)>;

    static std::shared_ptr<CaptureEventInteraction> initWithEventHandler(Handler handler);
    static std::shared_ptr<CaptureEventInteraction> initWithPrimaryEventHandler(Handler primary,
                                                                                Handler secondary);
    ~CaptureEventInteraction();
    CaptureEventInteraction(const CaptureEventInteraction&) = delete;
    CaptureEventInteraction& operator=(const CaptureEventInteraction&) = delete;

    bool isEnabled() const { return enabled_.load(); }
    // Disabling during a press ends it with a cancelled phase.
    void setEnabled(bool enabled);

    // The entry point of the window's hardware buttons. Returns whether an interaction took the
    // press (the window then leaves the volume alone); false when none is listening.
    static bool deliverHardwareButtonPhase(CaptureEventPhase phase,
                                           CaptureEventButton button = CaptureEventButton::Primary);
    // How many enabled interactions are listening now.
    static size_t listeningInteractions();

  private:
    CaptureEventInteraction(Handler primary, Handler secondary);
    void deliver(CaptureEventPhase phase, CaptureEventButton button);

    Handler primary_, secondary_;
    std::atomic<bool> enabled_{true};
    bool pressed_[2] = {false, false};
};
using CaptureEventInteractionRef = std::shared_ptr<CaptureEventInteraction>;

}  // namespace hx::capture
