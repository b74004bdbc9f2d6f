#include "app/shell/HardwareKeys.h"

#include "platform/audio/SystemVolume.h"
#include "platform/capture/CaptureEventInteraction.h"

namespace hx::app {

bool pressHardwareKey(HardwareKey key, bool pressed) {
    const auto button = key == HardwareKey::VolumeDown ? capture::CaptureEventButton::Secondary
                                                       : capture::CaptureEventButton::Primary;
    const bool taken = capture::CaptureEventInteraction::deliverHardwareButtonPhase(
        pressed ? capture::AVCaptureEventPhaseBegan : capture::AVCaptureEventPhaseEnded, button);
    if (taken || !pressed) return taken;
    SystemVolume::shared().stepVolume(key == HardwareKey::VolumeDown ? -1 : 1);
    return false;
}

}  // namespace hx::app
