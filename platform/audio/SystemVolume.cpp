#include "platform/audio/SystemVolume.h"

#include <algorithm>
#include <cmath>

#include "platform/runloop/NotificationCenter.h"

namespace hx {

SystemVolume& SystemVolume::shared() {
    static SystemVolume volume;
    return volume;
}

float SystemVolume::volume() const {
    std::lock_guard lock(mutex_);
    return volume_;
}

bool SystemVolume::setVolume(float volume) {
    float level = 0;
    {
        std::lock_guard lock(mutex_);
        if (!present_) return false;
        if (std::isfinite(volume)) volume_ = std::clamp(volume, 0.0f, 1.0f);
        level = volume_;
    }
    announce(level);
    return true;
}

void SystemVolume::announce(float level) {
    const NotificationUserInfo info{
        {kSystemVolumeParameterKey, static_cast<double>(level)},
        {kSystemVolumeReasonKey, std::string(kSystemVolumeExplicitChange)}};
    auto& center = NotificationCenter::defaultCenter();
    center.postNotificationName(kSystemVolumeDidChangeNotification, this, info);
    center.postNotificationName(kSystemVolumeDidChangeLegacyNotification, this, info);
}

bool SystemVolume::stepVolume(int direction) {
    float level = 0;
    {
        std::lock_guard lock(mutex_);
        if (!present_) return false;
        // Whole steps, so that sixteen presses reach the end exactly.
        const float steps = std::round(volume_ / kStep) + (direction > 0 ? 1 : -1);
        volume_ = std::clamp(steps * kStep, 0.0f, 1.0f);
        level = volume_;
    }
    announce(level);
    return true;
}

bool SystemVolume::hasVolumeControl() const {
    std::lock_guard lock(mutex_);
    return present_;
}

void SystemVolume::setHasVolumeControl(bool present) {
    std::lock_guard lock(mutex_);
    present_ = present;
}

void SystemVolume::reset() {
    std::lock_guard lock(mutex_);
    volume_ = kInitialVolume;
    present_ = true;
}

}  // namespace hx
