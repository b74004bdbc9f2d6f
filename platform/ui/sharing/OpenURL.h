#pragma once
// Opening URLs with the system, as the application object does: the camera's settings page for
// UIApplicationOpenSettingsURLString, the mail client for mailto: URLs, the default application
// for files and web pages, all through the desktop (Desktop::current()).
//
// Threads: main thread only (the completion runs on the main queue).

#include <functional>

#include "platform/ui/sharing/NSURL.h"

namespace hx {

inline constexpr const char* UIApplicationOpenSettingsURLString = "app-settings:";

// openURL:options:completionHandler: — `completion` (may be empty) runs on the main queue with
// whether the desktop took the URL. A URL of a scheme nothing handles is refused with a log
// line.
void openURL(const NSURL& url, std::function<void(bool success)> completion = nullptr);
// Whether some application handles URLs of this scheme: app-settings, mailto, file, http,
// https.
bool canOpenURL(const NSURL& url);

}  // namespace hx
