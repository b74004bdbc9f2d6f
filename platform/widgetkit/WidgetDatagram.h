#pragma once

// The requests a widget host reads from its datagram socket (see WidgetReloadListener.h). A
// datagram holds one request: a request name, then, for requests that take one, a single space
// and an argument, and at most one line feed at the end. Names and arguments are printable
// ASCII without spaces; the whole datagram is at most kMaxBytes bytes. Anything else is refused
// with the reason, so that a stray sender is named in the host's log instead of being taken for
// a request.
//
// Threads: any thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace hx {

enum class WidgetRequest {
    reloadAllTimelines,  // "reload-all-timelines": every widget asks for a new timeline
};

struct WidgetDatagram {
    WidgetRequest request = WidgetRequest::reloadAllTimelines;
    std::string argument;  // empty for requests without one

    static constexpr std::size_t kMaxBytes = 256;

    // The request in `bytes`; false, with the reason in `error`, when it is not one.
    static bool parse(std::string_view bytes, WidgetDatagram* datagram, std::string* error);
    // The bytes a sender writes for `request` (with `argument` where it takes one).
    static std::string encode(WidgetRequest request, std::string_view argument = {});
};

}  // namespace hx
