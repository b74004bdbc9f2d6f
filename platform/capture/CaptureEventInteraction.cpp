#include "platform/capture/CaptureEventInteraction.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/runloop/RunLoop.h"

namespace hx::capture {

namespace {

// The interactions alive now, in the order they were made.
struct Registry {
    std::mutex mutex;
    std::vector<std::weak_ptr<CaptureEventInteraction>> interactions;
};

Registry& registry() {
    static Registry* const instance = new Registry;
    return *instance;
}

std::vector<std::shared_ptr<CaptureEventInteraction>> liveInteractions() {
    std::lock_guard lock(registry().mutex);
    std::vector<std::shared_ptr<CaptureEventInteraction>> live;
    for (const auto& weak : registry().interactions)
        if (auto interaction = weak.lock()) live.push_back(std::move(interaction));
    return live;
}

}  // namespace

CaptureEventInteraction::CaptureEventInteraction(Handler primary, Handler secondary)
    : primary_(std::move(primary)), secondary_(std::move(secondary)) {}

std::shared_ptr<CaptureEventInteraction> CaptureEventInteraction::initWithEventHandler(
    Handler handler) {
    return initWithPrimaryEventHandler(std::move(handler), nullptr);
}

std::shared_ptr<CaptureEventInteraction> CaptureEventInteraction::initWithPrimaryEventHandler(
    Handler primary, Handler secondary) {
    std::shared_ptr<CaptureEventInteraction> interaction(
        new CaptureEventInteraction(std::move(primary), std::move(secondary)));
    std::lock_guard lock(registry().mutex);
    auto& all = registry().interactions;
    all.erase(std::remove_if(all.begin(), all.end(), [](const auto& w) { return w.expired(); }),
              all.end());
    all.push_back(interaction);
    return interaction;
}

CaptureEventInteraction::~CaptureEventInteraction() = default;

void CaptureEventInteraction::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    if (!enabled) {
        for (CaptureEventButton button :
             {CaptureEventButton::Primary, CaptureEventButton::Secondary})
            if (pressed_[static_cast<int>(button)]) deliver(AVCaptureEventPhaseCancelled, button);
    }
    enabled_ = enabled;
}

void CaptureEventInteraction::deliver(CaptureEventPhase phase, CaptureEventButton button) {
    bool& pressed = pressed_[static_cast<int>(button)];
    // A release or cancel only follows a press this interaction heard.
    if (phase != AVCaptureEventPhaseBegan && !pressed) return;
    pressed = phase == AVCaptureEventPhaseBegan;
    const Handler& handler =
        button == CaptureEventButton::Secondary && secondary_ ? secondary_ : primary_;
    if (handler) handler(CaptureEvent(phase));
}

bool CaptureEventInteraction::deliverHardwareButtonPhase(CaptureEventPhase phase,
                                                         CaptureEventButton button) {
    if (!RunLoop::isMainThread()) {
        const bool listening = listeningInteractions() > 0;
        RunLoop::main().post([phase, button] { deliverHardwareButtonPhase(phase, button); });
        return listening;
    }
    bool taken = false;
    for (const auto& interaction : liveInteractions()) {
        if (!interaction->enabled_) continue;
        interaction->deliver(phase, button);
        taken = true;
    }
    return taken;
}

size_t CaptureEventInteraction::listeningInteractions() {
    size_t count = 0;
    for (const auto& interaction : liveInteractions())
        if (interaction->enabled_) ++count;
    return count;
}

}  // namespace hx::capture
