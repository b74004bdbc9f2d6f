#include "platform/capture/CaptureDeviceFormat.h"

#include <cstdio>

namespace hx::capture {

std::string CaptureDeviceFormat::description() const {
    char text[32];
    std::snprintf(text, sizeof text, "%dx%d", description_.dimensions.width,
                  description_.dimensions.height);
    return text;
}

}  // namespace hx::capture
