#pragma once

// Whether this user lets the camera be used. Linux has no per-application camera permission,
// so the answer is a per-user setting in the config folder, as for location:
//
// - HALIDEX_CAMERA_AUTH=authorized|denied|restricted|not-determined overrides everything.
// - Otherwise the file <config>/camera-authorization holds one of those words; without it the
//   user has not been asked.
// - request() stands for the question. With nobody to ask on a desktop, opening the camera is
//   taken as consent: the answer is "authorized" and is written to the file. Tests script
//   another answer with setPromptAnswer().
//
// - Inside a sandbox (pipewire/CameraPortal.h), without HALIDEX_CAMERA_AUTH, the desktop
//   portal answers instead: not determined until asked, then the portal's grant or refusal
//   (restricted when no portal answers). Nothing is written.
//
// Only video is asked about; any other media type reads as authorised.
//
// Threads: every member may be called from any thread.

#include <optional>
#include <string>

#include "platform/capture/CaptureTypes.h"

namespace hx::capture {

class CaptureAuthorization {
  public:
    static CaptureAuthorizationStatus current(const std::string& mediaType = AVMediaTypeVideo);
    // Asks if nobody has answered yet; returns the status afterwards.
    static CaptureAuthorizationStatus request(const std::string& mediaType = AVMediaTypeVideo);

    // Records an answer (not determined forgets it). False, with the reason, when the setting
    // cannot be written.
    static bool set(CaptureAuthorizationStatus status, std::string* error = nullptr);
    // The answer the next question gets; empty restores the default, authorised.
    static void setPromptAnswer(std::optional<CaptureAuthorizationStatus> answer);

    static const char* word(CaptureAuthorizationStatus status);
    static std::optional<CaptureAuthorizationStatus> parse(const std::string& word);
};

}  // namespace hx::capture
