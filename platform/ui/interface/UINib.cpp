#include "platform/ui/interface/UINib.h"

#include <map>

#include "platform/bundle/Bundle.h"
#include "platform/log/Log.h"
#include "platform/ui/controls/UIControl.h"
#include "platform/ui/interface/InterfaceClassRegistry.h"
#include "platform/ui/interface/InterfaceOwner.h"
#include "platform/ui/view/UIView.h"

namespace hx {

namespace {

const std::map<std::string, UIControlEvents>& controlEvents() {
    static const std::map<std::string, UIControlEvents> events = {
        {"touchDown", UIControlEventTouchDown},
        {"touchDownRepeat", UIControlEventTouchDownRepeat},
        {"touchDragInside", UIControlEventTouchDragInside},
        {"touchDragOutside", UIControlEventTouchDragOutside},
        {"touchDragEnter", UIControlEventTouchDragEnter},
        {"touchDragExit", UIControlEventTouchDragExit},
        {"touchUpInside", UIControlEventTouchUpInside},
        {"touchUpOutside", UIControlEventTouchUpOutside},
        {"touchCancel", UIControlEventTouchCancel},
        {"valueChanged", UIControlEventValueChanged},
    };
    return events;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// Builds the objects of one instantiation; the first failure stops it.
class Builder {
  public:
    Builder(const std::string& fileName, InterfaceOwner* fileOwner)
        : fileName_(fileName), fileOwner_(fileOwner) {}

    std::shared_ptr<UIView> build(const ui::InterfaceObject& object, InterfaceOwner* enclosing) {
        InterfaceClassRegistry& registry = InterfaceClassRegistry::shared();
        std::shared_ptr<UIView> view = registry.make(object);
        if (!view) {
            return fail(object, object.line,
                        "unknown class \"" + object.className +
                            "\" (known classes: " + joined(registry.classNames()) + ")");
        }
        for (const auto& [name, value] : object.properties) {
            const InterfaceClassRegistry::PropertySetter* setter =
                registry.findProperty(object.className, name);
            if (!setter) {
                return fail(object, value.line(),
                            "unknown property \"" + name + "\" (" + object.className + " takes: " +
                                joined(registry.propertyNames(object.className)) + ")");
            }
            std::string reason;
            if (!(*setter)(*view, value, &reason))
                return fail(object, value.line(), "property \"" + name + "\": " + reason);
        }

        auto* ownObjectOwner = dynamic_cast<InterfaceOwner*>(view.get());
        InterfaceOwner* childrenOwner = ownObjectOwner ? ownObjectOwner : enclosing;
        if (ownObjectOwner) madeOwners_.push_back(ownObjectOwner);
        std::shared_ptr<UIView> container = registry.subviewContainer(object.className, view);
        for (const ui::InterfaceObject& child : object.subviews) {
            std::shared_ptr<UIView> subview = build(child, childrenOwner);
            if (!subview) return nullptr;
            container->addSubview(subview);
        }

        if (!object.outlet.empty()) {
            if (!enclosing)
                return fail(
                    object, object.line,
                    "outlet \"" + object.outlet + "\" but the file is loaded without an owner");
            std::string reason;
            if (!enclosing->setOutlet(object.outlet, view, &reason))
                return fail(object, object.line, reason);
        }
        if (!connectActions(object, *view, enclosing)) return nullptr;
        return view;
    }

    void awake() {
        // Inner objects first, as their owners may use them when they wake.
        for (auto it = madeOwners_.rbegin(); it != madeOwners_.rend(); ++it) (*it)->awakeFromNib();
        if (fileOwner_) fileOwner_->awakeFromNib();
    }

    const std::string& error() const { return error_; }

  private:
    bool connectActions(const ui::InterfaceObject& object, UIView& view, InterfaceOwner* owner) {
        if (object.actions.empty()) return true;
        auto* control = dynamic_cast<UIControl*>(&view);
        if (!control) {
            fail(object, object.actions.front().line,
                 "\"actions\" on a view that is not a control");
            return false;
        }
        for (const ui::InterfaceConnection& connection : object.actions) {
            auto event = controlEvents().find(connection.event);
            if (event == controlEvents().end()) {
                std::vector<std::string> names;
                for (const auto& [name, bits] : controlEvents()) names.push_back(name);
                fail(object, connection.line,
                     "unknown control event \"" + connection.event +
                         "\" (events: " + joined(names) + ")");
                return false;
            }
            UIControl::Action action = owner ? owner->actionNamed(connection.action) : nullptr;
            if (!action) {
                std::string known = owner ? joined(owner->actionNames()) : "";
                fail(object, connection.line,
                     "no action \"" + connection.action + "\"" +
                         (owner ? " (actions: " + (known.empty() ? "none" : known) + ")"
                                : " (the file is loaded without an owner)"));
                return false;
            }
            control->addTarget(owner, std::move(action), event->second);
        }
        return true;
    }

    std::nullptr_t fail(const ui::InterfaceObject& object, int line, const std::string& reason) {
        if (error_.empty()) {
            error_ = fileName_ + ": line " + std::to_string(line) + ": " + object.path + " (" +
                     object.className + "): " + reason;
        }
        return nullptr;
    }

    const std::string& fileName_;
    InterfaceOwner* fileOwner_;
    std::vector<InterfaceOwner*> madeOwners_;
    std::string error_;
};

}  // namespace

std::shared_ptr<UINib> UINib::nibWithNibName(const std::string& name, Bundle* bundle) {
    Bundle& source = bundle ? *bundle : Bundle::main();
    std::optional<std::string> path = source.pathForResource(ui::interfaceFileName(name));
    if (!path) {
        hxLog("Interface file %s not found in %s", ui::interfaceFileName(name).c_str(),
              source.resourcePath().c_str());
        return nullptr;
    }
    std::string error;
    std::optional<ui::InterfaceDocument> document =
        ui::InterfaceDocument::fromFile(*path, name, &error);
    if (!document) {
        hxLog("Interface file %s cannot be read: %s", path->c_str(), error.c_str());
        return nullptr;
    }
    return std::make_shared<UINib>(std::move(*document));
}

std::shared_ptr<UINib> UINib::nibWithText(std::string_view text, const std::string& name,
                                          std::string* error) {
    std::string reason;
    std::optional<ui::InterfaceDocument> document =
        ui::InterfaceDocument::parse(text, name, &reason);
    if (!document) {
        hxLog("Interface %s cannot be read: %s", name.c_str(), reason.c_str());
        if (error) *error = reason;
        return nullptr;
    }
    return std::make_shared<UINib>(std::move(*document));
}

bool UINib::exists(const std::string& name, Bundle* bundle) {
    Bundle& source = bundle ? *bundle : Bundle::main();
    return source.pathForResource(ui::interfaceFileName(name)).has_value();
}

std::vector<std::shared_ptr<UIView>> UINib::instantiateWithOwner(InterfaceOwner* owner,
                                                                 std::string* error) const {
    Builder builder(document_.name, owner);
    std::vector<std::shared_ptr<UIView>> views;
    for (const ui::InterfaceObject& object : document_.objects) {
        std::shared_ptr<UIView> view = builder.build(object, owner);
        if (!view) {
            hxLog("Interface %s cannot be built: %s", document_.name.c_str(),
                  builder.error().c_str());
            if (error) *error = builder.error();
            return {};
        }
        views.push_back(std::move(view));
    }
    builder.awake();
    return views;
}

}  // namespace hx
