#include "app/camera/Localized.h"

namespace hx::app {

std::string localizedString(const std::string& key) {
    return key;
}

}  // namespace hx::app
