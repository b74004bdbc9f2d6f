#include "widget/intents/hxConfigurationIntent.h"

namespace hx {

std::string hxConfigurationIntent::intentClassName() const {
    return "hxConfigurationIntent";
}

}  // namespace hx
