#pragma once

// The widget service's side in the application: asking every widget host of this user to reload
// its timelines. Each running host listens on a datagram socket in
// <runtime folder>/widget-hosts/ (see WidgetReloadListener.h); a reload request is one small
// datagram to each of them. No host running is not an error, and sockets left behind by hosts
// that died are removed on the way.
//
// Threads: any thread.

#include <cstddef>
#include <string>

namespace hx {

class WidgetCenter {
  public:
    static WidgetCenter& shared();

    // Returns how many hosts the request reached.
    std::size_t reloadAllTimelines();

    static constexpr const char* kReloadAllTimelinesMessage = "reload-all-timelines";
    // <runtime folder>/widget-hosts
    static std::string hostsDirectory();

  private:
    WidgetCenter() = default;
};

}  // namespace hx
