#pragma once

// The application's audio session: what kind of sound the program makes and how it mixes with
// the sound of others. The camera plays nothing, so on Linux the session only records what it
// was told; the values are kept so that a later backend (or a test) can act on them.
//
// Threads: every member may be called from any thread.

#include <mutex>
#include <string>

namespace hx {

inline constexpr const char* AVAudioSessionCategoryAmbient = "AVAudioSessionCategoryAmbient";
inline constexpr const char* AVAudioSessionCategorySoloAmbient =
    "AVAudioSessionCategorySoloAmbient";
inline constexpr const char* AVAudioSessionCategoryPlayback = "AVAudioSessionCategoryPlayback";
inline constexpr const char* AVAudioSessionCategoryRecord = "AVAudioSessionCategoryRecord";
inline constexpr const char* AVAudioSessionCategoryPlayAndRecord =
    "AVAudioSessionCategoryPlayAndRecord";
inline constexpr const char* AVAudioSessionCategoryMultiRoute = "AVAudioSessionCategoryMultiRoute";

// Category options, a bit set.
using AudioSessionCategoryOptions = unsigned;
inline constexpr AudioSessionCategoryOptions AVAudioSessionCategoryOptionMixWithOthers = 0x1;
inline constexpr AudioSessionCategoryOptions AVAudioSessionCategoryOptionDuckOthers = 0x2;
inline constexpr AudioSessionCategoryOptions AVAudioSessionCategoryOptionAllowBluetooth = 0x4;
inline constexpr AudioSessionCategoryOptions AVAudioSessionCategoryOptionDefaultToSpeaker = 0x8;
inline constexpr AudioSessionCategoryOptions
    AVAudioSessionCategoryOptionInterruptSpokenAudioAndMixWithOthers = 0x11;
inline constexpr AudioSessionCategoryOptions AVAudioSessionCategoryOptionAllowBluetoothA2DP = 0x20;
inline constexpr AudioSessionCategoryOptions AVAudioSessionCategoryOptionAllowAirPlay = 0x40;
inline constexpr AudioSessionCategoryOptions
    AVAudioSessionCategoryOptionOverrideMutedMicrophoneInterruptions = 0x80;

struct AudioSessionError {
    int code = 0;
    std::string message;
};

inline constexpr int kAudioSessionErrorBadParameter = -50;

class AudioSession {
  public:
    static AudioSession& sharedInstance();

    // Refuses an unknown category or option bits, leaving the session as it was.
    bool setCategory(const std::string& category, AudioSessionCategoryOptions options = 0,
                     AudioSessionError* error = nullptr);
    bool setActive(bool active, AudioSessionError* error = nullptr);

    // AVAudioSessionCategorySoloAmbient until set, as on a new session.
    std::string category() const;
    AudioSessionCategoryOptions categoryOptions() const;
    bool isActive() const;

    // Back to a new session's state; for tests.
    void reset();

  private:
    AudioSession() = default;

    mutable std::mutex mutex_;
    std::string category_ = AVAudioSessionCategorySoloAmbient;
    AudioSessionCategoryOptions options_ = 0;
    bool active_ = false;
};

}  // namespace hx
