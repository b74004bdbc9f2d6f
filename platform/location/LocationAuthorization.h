#pragma once

// Whether this user lets the camera read the position, and whether location services are on for
// the whole device. Linux has no per-application location permission, so both are per-user
// settings in the config folder, which the settings tool edits:
//
// - Authorisation: HALIDEX_LOCATION_AUTH=granted|always|denied|restricted overrides everything
//   (tests, kiosks). Otherwise the file <config>/location-authorization holds one of those words.
//   Neither means "not determined": the user has not been asked. requestWhenInUse() stands for
//   the question; with nobody to ask on a desktop, switching geotagging on is taken as consent, so
//   the answer is "granted" and is written to the file. Tests script another answer with
//   setPromptAnswer().
// - Services: HALIDEX_LOCATION_SERVICES=on|off overrides; otherwise the file
//   <config>/location-services containing "off" turns them off. On by default.
//
// Threads: current() and servicesEnabled() may be called from any thread. The other functions
// are for the main thread; observers are called there, after the change, from the main queue.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/location/Location.h"

namespace hx {

class LocationAuthorization {
  public:
    static AuthorizationStatus current();
    static bool servicesEnabled();

    // Asks for when-in-use access if the user has not answered yet; returns the status after.
    static AuthorizationStatus requestWhenInUse();

    // Records an answer (NotDetermined forgets it) and tells every observer. False, with the
    // reason, when the setting cannot be written.
    static bool set(AuthorizationStatus status, std::string* error = nullptr);
    static bool setServicesEnabled(bool enabled, std::string* error = nullptr);

    // The answer the next question gets; empty restores the default, AuthorizedWhenInUse.
    static void setPromptAnswer(std::optional<AuthorizationStatus> answer);

    using ObserverId = std::uint64_t;
    static ObserverId addObserver(std::function<void()> changed);
    static void removeObserver(ObserverId id);

    // The setting's words, for files and messages.
    static const char* word(AuthorizationStatus status);
    static std::optional<AuthorizationStatus> parse(const std::string& word);
};

}  // namespace hx
