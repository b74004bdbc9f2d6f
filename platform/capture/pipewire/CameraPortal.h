#pragma once

// Camera access for a program inside a sandbox, through the desktop portal's Camera interface
// (org.freedesktop.portal.Camera on the session bus). A sandboxed program cannot reach the
// PipeWire daemon's socket itself: it asks the portal for access (AccessCamera, answered by a
// Response signal of the request it makes), and on a grant the portal opens a PipeWire remote
// for it that only shows cameras (OpenPipeWireRemote, a file descriptor).
//
// A program runs sandboxed when /.flatpak-info exists; HALIDEX_SANDBOX=1 or 0 says so instead
// (tests). Outside a sandbox nothing here is used: the program connects to the daemon directly.
//
// Threads: every member may be called from any thread; calls wait for the portal's answers (a
// few seconds at most) and must not come from the main thread of a running screen.

#include <optional>
#include <string>

#include "platform/capture/CaptureTypes.h"

namespace hx::capture {

class CameraPortal {
  public:
    static bool inSandbox();

    struct Access {
        // Authorized on a grant, Denied when the user or the portal refused, Restricted when no
        // portal answers.
        CaptureAuthorizationStatus status = AVAuthorizationStatusNotDetermined;
        // The portal's IsCameraPresent: false when the machine has no camera at all.
        bool cameraPresent = false;
        // On a grant, the PipeWire remote, owned by the caller; else -1.
        int pipeWireFd = -1;
        // Why there is no access, in words for a log line.
        std::string error;
    };
    // Asks for access and, on a grant, for a PipeWire remote. The answer is remembered for
    // lastAnswer().
    static Access requestAccess();
    // The portal's last answer in this process; empty before the first question.
    static std::optional<CaptureAuthorizationStatus> lastAnswer();
    // Forgets the remembered answer (tests).
    static void reset();
};

}  // namespace hx::capture
