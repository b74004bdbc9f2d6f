#include "platform/audio/AudioSession.h"

#include <array>
#include <cstdio>

namespace hx {
namespace {

constexpr std::array<const char*, 6> kCategories = {
    AVAudioSessionCategoryAmbient,       AVAudioSessionCategorySoloAmbient,
    AVAudioSessionCategoryPlayback,      AVAudioSessionCategoryRecord,
    AVAudioSessionCategoryPlayAndRecord, AVAudioSessionCategoryMultiRoute,
};

constexpr AudioSessionCategoryOptions kKnownOptions =
    AVAudioSessionCategoryOptionMixWithOthers | AVAudioSessionCategoryOptionDuckOthers |
    AVAudioSessionCategoryOptionAllowBluetooth | AVAudioSessionCategoryOptionDefaultToSpeaker |
    AVAudioSessionCategoryOptionInterruptSpokenAudioAndMixWithOthers |
    AVAudioSessionCategoryOptionAllowBluetoothA2DP | AVAudioSessionCategoryOptionAllowAirPlay |
    AVAudioSessionCategoryOptionOverrideMutedMicrophoneInterruptions;

bool fail(AudioSessionError* error, std::string message) {
    if (error) *error = AudioSessionError{kAudioSessionErrorBadParameter, std::move(message)};
    return false;
}

}  // namespace

AudioSession& AudioSession::sharedInstance() {
    static AudioSession* const session = new AudioSession;
    return *session;
}

bool AudioSession::setCategory(const std::string& category, AudioSessionCategoryOptions options,
                               AudioSessionError* error) {
    bool known = false;
    for (const char* name : kCategories) known = known || category == name;
    if (!known) return fail(error, "unknown audio session category \"" + category + "\"");
    if (options & ~kKnownOptions) {
        char text[64];
        std::snprintf(text, sizeof text, "unknown audio session options 0x%x",
                      options & ~kKnownOptions);
        return fail(error, text);
    }
    std::lock_guard lock(mutex_);
    category_ = category;
    options_ = options;
    return true;
}

bool AudioSession::setActive(bool active, AudioSessionError* error) {
    std::lock_guard lock(mutex_);
    active_ = active;
    return true;
}

std::string AudioSession::category() const {
    std::lock_guard lock(mutex_);
    return category_;
}

AudioSessionCategoryOptions AudioSession::categoryOptions() const {
    std::lock_guard lock(mutex_);
    return options_;
}

bool AudioSession::isActive() const {
    std::lock_guard lock(mutex_);
    return active_;
}

void AudioSession::reset() {
    std::lock_guard lock(mutex_);
    category_ = AVAudioSessionCategorySoloAmbient;
    options_ = 0;
    active_ = false;
}

}  // namespace hx
