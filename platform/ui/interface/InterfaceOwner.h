#pragma once
// An object that receives the outlets and actions of an interface file: a view controller, a
// collection view cell, or any view class of a program that declares outlets.
//
// Outlets and actions are declared by name (usually in the constructor) and filled by the
// loader: an object of the file with an "outlet" binds on the nearest enclosing object that is
// an interface owner (a cell's image views bind on the cell), and outside any, on the owner the
// file is loaded for (a view controller). Actions named under "actions" resolve the same way.
//
// Memory: outlets are fields of the owner; a shared outlet keeps its view alive, a weak one
// does not. Actions usually capture `this`; the owner outlives its own views, so they stay valid
// while the controls can send them.
//
// Threads: main thread only.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls/UIControl.h"

namespace hx {

class UIView;

class InterfaceOwner {
  public:
    virtual ~InterfaceOwner() = default;

    // Binds the view to the outlet of that name; false, with the reason in error, when there is
    // no such outlet or the view is not of the outlet's class.
    virtual bool setOutlet(const std::string& name, const std::shared_ptr<UIView>& view,
                           std::string* error);
    // The action of that name; empty when there is none.
    virtual UIControl::Action actionNamed(const std::string& name) const;

    // Called once every object of the file has been built, bound and added to its superview.
    virtual void awakeFromNib() {}

    // The declared names, sorted (for messages).
    std::vector<std::string> outletNames() const;
    std::vector<std::string> actionNames() const;

  protected:
    template <typename T>
    void declareOutlet(const std::string& name, std::shared_ptr<T>& slot) {
        outlets_[name] = [&slot](const std::shared_ptr<UIView>& view) {
            auto typed = std::dynamic_pointer_cast<T>(view);
            if (!typed) return false;
            slot = std::move(typed);
            return true;
        };
    }
    template <typename T>
    void declareOutlet(const std::string& name, std::weak_ptr<T>& slot) {
        outlets_[name] = [&slot](const std::shared_ptr<UIView>& view) {
            auto typed = std::dynamic_pointer_cast<T>(view);
            if (!typed) return false;
            slot = typed;
            return true;
        };
    }
    void declareAction(const std::string& name, UIControl::Action action) {
        actions_[name] = std::move(action);
    }
    // An action method that takes the sending control (of any control class).
    template <typename T, typename Sender>
    void declareAction(const std::string& name, T* target, void (T::*method)(Sender*)) {
        actions_[name] = [target, method](UIControl* sender) {
            (target->*method)(dynamic_cast<Sender*>(sender));
        };
    }
    // An action method without arguments.
    template <typename T>
    void declareAction(const std::string& name, T* target, void (T::*method)()) {
        actions_[name] = [target, method](UIControl*) { (target->*method)(); };
    }

  private:
    std::map<std::string, std::function<bool(const std::shared_ptr<UIView>&)>> outlets_;
    std::map<std::string, UIControl::Action> actions_;
};

}  // namespace hx
