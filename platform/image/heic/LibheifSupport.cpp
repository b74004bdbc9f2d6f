#include "platform/image/heic/LibheifSupport.h"

namespace hx::image::heif {

bool initialiseLibheif(std::string* error) {
    // Never paired with heif_deinit(): images may be decoded until the process exits.
    static const heif_error result = heif_init(nullptr);
    if (succeeded(result)) return true;
    return failWith(error, "cannot start libheif", result);
}

bool failWith(std::string* error, const char* what, const heif_error& cause) {
    if (error) {
        *error = what;
        if (cause.message && *cause.message) *error += std::string(": ") + cause.message;
    }
    return false;
}

bool failWith(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

}  // namespace hx::image::heif
