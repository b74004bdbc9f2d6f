#include "platform/capture/simulated/SimulatedOptics.h"

#include <algorithm>

namespace hx::capture {

namespace {

double smooth(double t) {
    t = std::clamp(t, 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// The lens runs past focus first, then comes back: the first 35 % of the time it goes soft.
constexpr double kHuntShare = 0.35;

}  // namespace

double SimulatedOptics::startFocusing(double now) {
    defocusAtStart_ = defocus(now);
    focusHeld_ = false;
    focusStart_ = now;
    focusEnd_ = now + kFocusSeconds;
    return focusEnd_;
}

void SimulatedOptics::holdFocus(double now) {
    heldDefocus_ = defocus(now);
    focusHeld_ = true;
    focusEnd_ = std::min(focusEnd_, now);
}

bool SimulatedOptics::isFocusing(double now) const {
    return !focusHeld_ && now >= focusStart_ && now < focusEnd_;
}

double SimulatedOptics::defocus(double now) const {
    if (focusHeld_) return heldDefocus_;
    if (now < focusStart_ || now >= focusEnd_) return 0;
    const double t = (now - focusStart_) / (focusEnd_ - focusStart_);
    if (t < kHuntShare) return defocusAtStart_ + (1 - defocusAtStart_) * smooth(t / kHuntShare);
    return 1 - smooth((t - kHuntShare) / (1 - kHuntShare));
}

double SimulatedOptics::startExposing(double now, double targetGain) {
    gainFrom_ = exposureGain(now);
    gainTo_ = targetGain;
    exposureStart_ = now;
    exposureEnd_ = now + kExposureSeconds;
    return exposureEnd_;
}

void SimulatedOptics::holdExposure(double now) {
    gainFrom_ = gainTo_ = exposureGain(now);
    exposureEnd_ = std::min(exposureEnd_, now);
}

bool SimulatedOptics::isExposing(double now) const {
    return now >= exposureStart_ && now < exposureEnd_;
}

double SimulatedOptics::exposureGain(double now) const {
    if (now >= exposureEnd_) return gainTo_;
    if (now < exposureStart_) return gainFrom_;
    return gainFrom_ +
           (gainTo_ - gainFrom_) * smooth((now - exposureStart_) / (exposureEnd_ - exposureStart_));
}

}  // namespace hx::capture
