#include "platform/capture/simulated/SimulatedCamera.h"

#include <atomic>
#include <map>
#include <mutex>

namespace hx::capture {

namespace {

struct Hooks {
    std::atomic<bool> refusesLock{false};
    std::atomic<bool> failsCapture{false};
    std::atomic<bool> hidesDevices{false};
    std::mutex mutex;
    std::function<void(CaptureDeviceCapabilities&)> capabilityOverride;
    bool unplugged = false;
    std::map<int, std::function<void(bool)>> pluggingObservers;
    int nextToken = 0;
};

Hooks& hooks() {
    static Hooks* const instance = new Hooks;
    return *instance;
}

}  // namespace

void SimulatedCamera::setRefusesConfigurationLock(bool refuses) {
    hooks().refusesLock = refuses;
}

bool SimulatedCamera::refusesConfigurationLock() {
    return hooks().refusesLock;
}

void SimulatedCamera::setFailsCapture(bool fails) {
    hooks().failsCapture = fails;
}

bool SimulatedCamera::failsCapture() {
    return hooks().failsCapture;
}

void SimulatedCamera::setHidesDevices(bool hides) {
    hooks().hidesDevices = hides;
}

bool SimulatedCamera::hidesDevices() {
    return hooks().hidesDevices;
}

void SimulatedCamera::setUnplugged(bool unplugged) {
    std::map<int, std::function<void(bool)>> observers;
    {
        std::lock_guard lock(hooks().mutex);
        if (hooks().unplugged == unplugged) return;
        hooks().unplugged = unplugged;
        observers = hooks().pluggingObservers;
    }
    for (const auto& [token, changed] : observers) changed(!unplugged);
}

bool SimulatedCamera::isUnplugged() {
    std::lock_guard lock(hooks().mutex);
    return hooks().unplugged;
}

int SimulatedCamera::observePlugging(std::function<void(bool connected)> changed) {
    std::lock_guard lock(hooks().mutex);
    const int token = ++hooks().nextToken;
    hooks().pluggingObservers[token] = std::move(changed);
    return token;
}

void SimulatedCamera::stopObservingPlugging(int token) {
    std::lock_guard lock(hooks().mutex);
    hooks().pluggingObservers.erase(token);
}

void SimulatedCamera::setCapabilityOverride(std::function<void(CaptureDeviceCapabilities&)> edit) {
    std::lock_guard lock(hooks().mutex);
    hooks().capabilityOverride = std::move(edit);
}

void SimulatedCamera::applyCapabilityOverride(CaptureDeviceCapabilities& capabilities) {
    std::function<void(CaptureDeviceCapabilities&)> edit;
    {
        std::lock_guard lock(hooks().mutex);
        edit = hooks().capabilityOverride;
    }
    if (edit) edit(capabilities);
}

void SimulatedCamera::reset() {
    setRefusesConfigurationLock(false);
    setFailsCapture(false);
    setHidesDevices(false);
    setUnplugged(false);
    setCapabilityOverride(nullptr);
}

}  // namespace hx::capture
