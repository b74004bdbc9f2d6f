#include "app/camera/Localized.h"

#include "platform/bundle/Bundle.h"

namespace hx::app {

std::string localizedString(const std::string& key) {
    return Bundle::main().localizedStringForKey(key, "", "");
}

}  // namespace hx::app
