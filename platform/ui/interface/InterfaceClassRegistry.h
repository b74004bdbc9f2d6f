#pragma once
// The view classes that interface files may name, each with the properties a file may set on
// it. A class takes the properties of its base class too. The UI's own classes (UIView,
// UIImageView, UIButton, UILabel, UISlider, UIActivityIndicatorView, UIScrollView,
// UICollectionView, UICollectionViewCell, ...) are registered on first use; programs register
// their own classes (a cell class, a custom view) before loading files that name them.
//
// Threads: main thread only.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/interface/InterfaceDocument.h"

namespace hx {

class UIView;

class InterfaceClassRegistry {
  public:
    // Makes the view of an object; it may read the object's properties for what can only be
    // chosen at creation (a button's type).
    using Factory = std::function<std::shared_ptr<UIView>(const ui::InterfaceObject& object)>;
    // Applies one property's value; false, with what was expected in error, when it does not fit.
    using PropertySetter =
        std::function<bool(UIView& view, const ui::InterfaceValue& value, std::string* error)>;
    // The view that an object's subviews are added to (a cell's content view).
    using SubviewContainer = std::function<std::shared_ptr<UIView>(UIView& view)>;

    static InterfaceClassRegistry& shared();

    // Registers (or replaces) a class. `base` names a registered class whose properties it
    // takes; empty for none.
    void registerClass(const std::string& name, const std::string& base, Factory factory);
    template <typename T>
    void registerClass(const std::string& name, const std::string& base) {
        registerClass(name, base, [](const ui::InterfaceObject&) { return std::make_shared<T>(); });
    }
    void registerProperty(const std::string& className, const std::string& property,
                          PropertySetter setter);
    // A property of views of class V; objects of another class are refused with a message.
    template <typename V>
    void registerProperty(const std::string& className, const std::string& property,
                          std::function<bool(V&, const ui::InterfaceValue&, std::string*)> apply) {
        registerProperty(className, property,
                         [apply = std::move(apply), className](
                             UIView& view, const ui::InterfaceValue& value, std::string* error) {
                             auto* typed = dynamic_cast<V*>(&view);
                             if (!typed) {
                                 if (error)
                                     *error = "the view made for this class is no " + className;
                                 return false;
                             }
                             return apply(*typed, value, error);
                         });
    }
    // A property of views of class V whose value `read` parses (returning an optional, with the
    // reason in the error) into what `apply` hands to the view.
    template <typename V, typename Reader, typename Apply>
    void registerParsedProperty(const std::string& className, const std::string& property,
                                Reader read, Apply apply) {
        registerProperty<V>(
            className, property,
            [read, apply](V& view, const ui::InterfaceValue& value, std::string* error) {
                auto parsed = read(value, error);
                if (!parsed) return false;
                apply(view, *parsed);
                return true;
            });
    }
    void setSubviewContainer(const std::string& className, SubviewContainer container);

    bool hasClass(const std::string& name) const;
    // The new view; null when the class is unknown.
    std::shared_ptr<UIView> make(const ui::InterfaceObject& object) const;
    // The setter of the property on the class or its bases; null when none takes it.
    const PropertySetter* findProperty(const std::string& className,
                                       const std::string& property) const;
    // Every property the class takes, sorted.
    std::vector<std::string> propertyNames(const std::string& className) const;
    std::vector<std::string> classNames() const;
    // Where the object's subviews go: the class's (or its base's) container, else the view.
    std::shared_ptr<UIView> subviewContainer(const std::string& className,
                                             const std::shared_ptr<UIView>& view) const;

  private:
    InterfaceClassRegistry() = default;

    struct ClassEntry {
        std::string base;
        Factory factory;
        std::map<std::string, PropertySetter> properties;
        SubviewContainer container;
    };
    // The class and its bases, nearest first (a cycle of bases is cut).
    std::vector<const ClassEntry*> lineage(const std::string& className) const;

    std::map<std::string, ClassEntry> classes_;
};

namespace ui {
// Registration of the UI's own classes, one function per group; called once by shared().
void registerViewClasses(InterfaceClassRegistry& registry);
void registerScrollClasses(InterfaceClassRegistry& registry);
}  // namespace ui

}  // namespace hx
