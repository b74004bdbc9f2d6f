#pragma once

// The system's output volume, simulated: a level from 0 to 1 that the hardware volume keys step
// by a sixteenth. Every change asked for, including a key press that meets the end of the range
// and leaves the level where it was, is announced through the default notification center under
// both of the names below, with the new level and the reason in the user info, so that a
// program can take the volume keys as a shutter release.
//
// Without a volume control (setHasVolumeControl(false)) nothing changes and nothing is
// announced; a program then has no volume to read.
//
// Threads: every member may be called from any thread; notifications are posted on the calling
// thread, after the level has changed and without locks held.

#include <mutex>

namespace hx {

inline constexpr const char* kSystemVolumeDidChangeNotification = "SystemVolumeDidChange";
// The older name of the same announcement.
inline constexpr const char* kSystemVolumeDidChangeLegacyNotification =
    "AVSystemController_SystemVolumeDidChangeNotification";
// User-info keys: the new level (a number) and why it changed (a text).
inline constexpr const char* kSystemVolumeParameterKey =
    "AVSystemController_AudioVolumeNotificationParameter";
inline constexpr const char* kSystemVolumeReasonKey = "Reason";
// The reason of a change the user asked for (a key press or setVolume()).
inline constexpr const char* kSystemVolumeExplicitChange = "ExplicitVolumeChange";

class SystemVolume {
  public:
    static constexpr float kStep = 1.0f / 16;
    static constexpr float kInitialVolume = 0.5f;

    static SystemVolume& shared();

    // The level, 0…1.
    float volume() const;
    // Sets the level (clamped to 0…1) and announces it. False without a volume control.
    bool setVolume(float volume);
    // One press of a volume key: up (+1) or down (−1) by a step, then announced. False without a
    // volume control.
    bool stepVolume(int direction);

    bool hasVolumeControl() const;
    void setHasVolumeControl(bool present);

    // Back to the initial level with a volume control, for tests.
    void reset();

  private:
    // Posts both notifications with the level.
    void announce(float level);

    mutable std::mutex mutex_;
    float volume_ = kInitialVolume;
    bool present_ = true;
};

}  // namespace hx
