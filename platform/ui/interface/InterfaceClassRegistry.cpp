#include "platform/ui/interface/InterfaceClassRegistry.h"

#include <algorithm>
#include <set>

#include "platform/ui/view/UIView.h"

namespace hx {

InterfaceClassRegistry& InterfaceClassRegistry::shared() {
    static InterfaceClassRegistry* registry = [] {
        auto* made = new InterfaceClassRegistry;
        ui::registerViewClasses(*made);
        ui::registerScrollClasses(*made);
        return made;
    }();
    return *registry;
}

void InterfaceClassRegistry::registerClass(const std::string& name, const std::string& base,
                                           Factory factory) {
    ClassEntry& entry = classes_[name];
    entry.base = base;
    entry.factory = std::move(factory);
}

void InterfaceClassRegistry::registerProperty(const std::string& className,
                                              const std::string& property, PropertySetter setter) {
    classes_[className].properties[property] = std::move(setter);
}

void InterfaceClassRegistry::setSubviewContainer(const std::string& className,
                                                 SubviewContainer container) {
    classes_[className].container = std::move(container);
}

bool InterfaceClassRegistry::hasClass(const std::string& name) const {
    auto it = classes_.find(name);
    return it != classes_.end() && it->second.factory;
}

std::shared_ptr<UIView> InterfaceClassRegistry::make(const ui::InterfaceObject& object) const {
    auto it = classes_.find(object.className);
    if (it == classes_.end() || !it->second.factory) return nullptr;
    return it->second.factory(object);
}

std::vector<const InterfaceClassRegistry::ClassEntry*> InterfaceClassRegistry::lineage(
    const std::string& className) const {
    std::vector<const ClassEntry*> chain;
    std::set<std::string> seen;
    std::string name = className;
    while (!name.empty() && seen.insert(name).second) {
        auto it = classes_.find(name);
        if (it == classes_.end()) break;
        chain.push_back(&it->second);
        name = it->second.base;
    }
    return chain;
}

const InterfaceClassRegistry::PropertySetter* InterfaceClassRegistry::findProperty(
    const std::string& className, const std::string& property) const {
    for (const ClassEntry* entry : lineage(className)) {
        auto it = entry->properties.find(property);
        if (it != entry->properties.end()) return &it->second;
    }
    return nullptr;
}

std::vector<std::string> InterfaceClassRegistry::propertyNames(const std::string& className) const {
    std::set<std::string> names;
    for (const ClassEntry* entry : lineage(className))
        for (const auto& [name, setter] : entry->properties) names.insert(name);
    return {names.begin(), names.end()};
}

std::vector<std::string> InterfaceClassRegistry::classNames() const {
    std::vector<std::string> names;
    for (const auto& [name, entry] : classes_)
        if (entry.factory) names.push_back(name);
    return names;
}

std::shared_ptr<UIView> InterfaceClassRegistry::subviewContainer(
    const std::string& className, const std::shared_ptr<UIView>& view) const {
    for (const ClassEntry* entry : lineage(className))
        if (entry->container) {
            if (auto container = entry->container(*view)) return container;
        }
    return view;
}

}  // namespace hx
