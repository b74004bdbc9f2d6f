#pragma once

// The simulated lens and sensor over time. Focusing hunts and settles: the picture first goes
// softer, then sharp, over kFocusSeconds. Exposure glides to its new level over kExposureSeconds.
// Holding either stops it where it is (a locked focus or exposure). Times are seconds on the
// run loop's clock.
//
// Threads: not synchronised; the driver guards it with its own lock.

namespace hx::capture {

class SimulatedOptics {
  public:
    static constexpr double kFocusSeconds = 0.4;
    static constexpr double kExposureSeconds = 0.25;

    explicit SimulatedOptics(double initialGain = 1)
        : gainFrom_(initialGain), gainTo_(initialGain) {}

    // Starts focusing (again); returns when it will have settled.
    double startFocusing(double now);
    void holdFocus(double now);
    bool isFocusing(double now) const;
    // 0 sharp, 1 the softest the lens gets while hunting.
    double defocus(double now) const;

    // Starts moving the exposure towards `targetGain`; returns when it will be there.
    double startExposing(double now, double targetGain);
    void holdExposure(double now);
    bool isExposing(double now) const;
    double exposureGain(double now) const;
    double targetGain() const { return gainTo_; }

  private:
    double focusStart_ = -1e300, focusEnd_ = -1e300;
    double defocusAtStart_ = 0;
    bool focusHeld_ = false;
    double heldDefocus_ = 0;

    double exposureStart_ = -1e300, exposureEnd_ = -1e300;
    double gainFrom_, gainTo_;
};

}  // namespace hx::capture
