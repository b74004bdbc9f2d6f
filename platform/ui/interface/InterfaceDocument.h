#pragma once
// An interface file read into plain data: the objects it describes, before any view exists.
//
// The file is JSON. Its top level holds "objects", a list of top-level objects; each object has
// a "class" (a registered view class such as "UIView", "UIButton" or a program's own class),
// optionally an "outlet" (the name under which the owner receives it; "view" is a view
// controller's view), "subviews" (objects added to it in order), "actions" (control event name
// to action name, sent to the owner) and any number of properties of its class, applied in the
// order written. A "comment" member is allowed anywhere and ignored.
//
//     {
//       "objects": [
//         { "class": "UIView", "outlet": "view", "frame": [0, 0, 320, 480],
//           "subviews": [
//             { "class": "UIButton", "outlet": "_okButton", "frame": [10, 10, 80, 44],
//               "title": "OK", "actions": { "touchUpInside": "okButtonAction:" } } ] } ]
//     }
//
// Which properties a class takes is checked when the objects are built (InterfaceBuilder).
//
// Threads: plain data.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/interface/InterfaceValue.h"

namespace hx::ui {

struct InterfaceConnection {
    std::string event;   // "touchUpInside", "valueChanged", ...
    std::string action;  // the owner's action name, "okButtonAction:"
    int line = 0;
};

struct InterfaceObject {
    std::string className;
    std::string outlet;
    std::vector<InterfaceValue::Member> properties;  // in the order written
    std::vector<InterfaceConnection> actions;
    std::vector<InterfaceObject> subviews;
    int line = 0;
    std::string path;  // where it stands in the file, "objects[0].subviews[2]", for messages
};

struct InterfaceDocument {
    std::string name;  // the interface's name, for messages
    std::vector<InterfaceObject> objects;

    // Reads the text of an interface file. Nothing, with "NAME: line L: reason" in error, when
    // it is not valid JSON or not shaped as described above.
    static std::optional<InterfaceDocument> parse(std::string_view text, const std::string& name,
                                                  std::string* error = nullptr);
    // The same from a value already read (a part of another file, say).
    static std::optional<InterfaceDocument> fromValue(const InterfaceValue& top,
                                                      const std::string& name,
                                                      std::string* error = nullptr);
    // The same from a file; a file that cannot be read is reported the same way.
    static std::optional<InterfaceDocument> fromFile(const std::string& path,
                                                     const std::string& name,
                                                     std::string* error = nullptr);
};

// The file name of the interface of that name: "hxThumbViewController" ->
// "hxThumbViewController.ui.json".
std::string interfaceFileName(const std::string& name);

}  // namespace hx::ui
