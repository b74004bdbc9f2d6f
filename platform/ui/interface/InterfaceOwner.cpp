#include "platform/ui/interface/InterfaceOwner.h"

namespace hx {

bool InterfaceOwner::setOutlet(const std::string& name, const std::shared_ptr<UIView>& view,
                               std::string* error) {
    auto it = outlets_.find(name);
    if (it == outlets_.end()) {
        if (error) {
            std::string known;
            for (const std::string& each : outletNames())
                known += (known.empty() ? "" : ", ") + each;
            *error = "no outlet \"" + name + "\"" +
                     (known.empty() ? " (it declares none)" : " (its outlets: " + known + ")");
        }
        return false;
    }
    if (!it->second(view)) {
        if (error) *error = "outlet \"" + name + "\" does not take a view of this class";
        return false;
    }
    return true;
}

UIControl::Action InterfaceOwner::actionNamed(const std::string& name) const {
    auto it = actions_.find(name);
    return it == actions_.end() ? UIControl::Action() : it->second;
}

std::vector<std::string> InterfaceOwner::outletNames() const {
    std::vector<std::string> names;
    for (const auto& [name, setter] : outlets_) names.push_back(name);
    return names;
}

std::vector<std::string> InterfaceOwner::actionNames() const {
    std::vector<std::string> names;
    for (const auto& [name, action] : actions_) names.push_back(name);
    return names;
}

}  // namespace hx
