// Any bytes as a datagram on the widget host's socket: a request read from it is one the camera
// could have sent (writing it again gives the same bytes, less a final line feed), and a refusal
// always says why.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/widgetkit/WidgetDatagram.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    hx::WidgetDatagram datagram;
    std::string error;
    if (!hx::WidgetDatagram::parse(bytes, &datagram, &error)) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    std::string_view body = bytes;
    if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
    if (hx::WidgetDatagram::encode(datagram.request, datagram.argument) != body) __builtin_trap();
    return 0;
}
