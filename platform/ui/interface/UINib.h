#pragma once
// An interface file, read once and instantiated as often as needed: every instantiation builds
// new views of the registered classes (InterfaceClassRegistry), applies their properties in the
// order written, adds subviews in order, binds outlets and connects actions
// (InterfaceOwner), then calls awakeFromNib on every owner it made and on the file's owner.
//
// Interface files live under the resources as NAME.ui.json (see InterfaceDocument.h for the
// format) and are found by name: a view controller's file is named after its class.
//
// A file that is missing, broken or names something unknown (a class, a property, an outlet,
// an action, a control event) builds nothing: the reason is logged, naming the file, the line
// and what would have been accepted.
//
// Threads: main thread only (it makes views).

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/interface/InterfaceDocument.h"

namespace hx {

class Bundle;
class UIView;
class InterfaceOwner;

class UINib {
  public:
    // The file NAME.ui.json of the bundle (the main bundle when null). Null, logged, when it
    // is missing or not a valid interface file.
    static std::shared_ptr<UINib> nibWithNibName(const std::string& name, Bundle* bundle = nullptr);
    // An interface from its text (tests, programs that make interfaces on the fly). Null, with
    // the reason in error (and logged), when it is not valid.
    static std::shared_ptr<UINib> nibWithText(std::string_view text, const std::string& name,
                                              std::string* error = nullptr);
    // Whether the bundle holds an interface file of that name.
    static bool exists(const std::string& name, Bundle* bundle = nullptr);

    explicit UINib(ui::InterfaceDocument document) : document_(std::move(document)) {}

    const std::string& name() const { return document_.name; }
    const ui::InterfaceDocument& document() const { return document_; }

    // The top-level views, in the order of the file. Outlets and actions outside any owner
    // object of the file go to `owner` (may be null when the file names none). Empty, with the
    // reason in error (and logged), when anything in the file cannot be built.
    std::vector<std::shared_ptr<UIView>> instantiateWithOwner(InterfaceOwner* owner,
                                                              std::string* error = nullptr) const;

  private:
    ui::InterfaceDocument document_;
};

}  // namespace hx
