#include "platform/ui/interface/InterfaceDocument.h"

#include "platform/paths/FileAccess.h"

namespace hx::ui {

namespace {

constexpr const char* kFileSuffix = ".ui.json";
// An interface file describes one screen; anything far larger is not one.
constexpr size_t kMaxInterfaceFileBytes = size_t{16} << 20;

class DocumentReader {
  public:
    explicit DocumentReader(std::string name) : name_(std::move(name)) {}

    std::optional<InterfaceDocument> read(const InterfaceValue& top, std::string* error) {
        InterfaceDocument document;
        document.name = name_;
        if (!top.isObject()) return fail(top.line(), "the document must be an object", error);
        const InterfaceValue* objects = nullptr;
        for (const auto& [key, value] : top.members()) {
            if (key == "objects")
                objects = &value;
            else if (key != "comment")
                return fail(value.line(), "unknown top-level member \"" + key + "\"", error);
        }
        if (!objects || !objects->isList())
            return fail(top.line(), "\"objects\" must be a list of objects", error);
        for (std::size_t i = 0; i < objects->items().size(); ++i) {
            std::optional<InterfaceObject> object =
                readObject(objects->items()[i], "objects[" + std::to_string(i) + "]", error);
            if (!object) return std::nullopt;
            document.objects.push_back(std::move(*object));
        }
        return document;
    }

  private:
    std::optional<InterfaceObject> readObject(const InterfaceValue& value, const std::string& path,
                                              std::string* error) {
        if (!value.isObject()) return fail(value.line(), path + " must be an object", error);
        InterfaceObject object;
        object.line = value.line();
        object.path = path;
        for (const auto& [key, member] : value.members()) {
            if (key == "class") {
                if (!member.isString() || member.asString().empty())
                    return fail(member.line(), path + ": \"class\" must be a class name", error);
                object.className = member.asString();
            } else if (key == "outlet") {
                if (!member.isString() || member.asString().empty())
                    return fail(member.line(), path + ": \"outlet\" must be a name", error);
                object.outlet = member.asString();
            } else if (key == "subviews") {
                if (!member.isList())
                    return fail(member.line(), path + ": \"subviews\" must be a list", error);
                for (std::size_t i = 0; i < member.items().size(); ++i) {
                    std::optional<InterfaceObject> child = readObject(
                        member.items()[i], path + ".subviews[" + std::to_string(i) + "]", error);
                    if (!child) return std::nullopt;
                    object.subviews.push_back(std::move(*child));
                }
            } else if (key == "actions") {
                if (!member.isObject())
                    return fail(member.line(),
                                path + ": \"actions\" must map control events to action names",
                                error);
                for (const auto& [event, action] : member.members()) {
                    if (!action.isString() || action.asString().empty())
                        return fail(action.line(),
                                    path + ": the action for \"" + event + "\" must be a name",
                                    error);
                    object.actions.push_back({event, action.asString(), action.line()});
                }
            } else if (key != "comment") {
                object.properties.emplace_back(key, member);
            }
        }
        if (object.className.empty()) return fail(value.line(), path + " has no \"class\"", error);
        return object;
    }

    std::nullopt_t fail(int line, const std::string& reason, std::string* error) const {
        if (error) *error = name_ + ": line " + std::to_string(line) + ": " + reason;
        return std::nullopt;
    }

    std::string name_;
};

}  // namespace

std::optional<InterfaceDocument> InterfaceDocument::parse(std::string_view text,
                                                          const std::string& name,
                                                          std::string* error) {
    std::string jsonError;
    std::optional<InterfaceValue> top = parseInterfaceJson(text, &jsonError);
    if (!top) {
        if (error) *error = name + ": " + jsonError;
        return std::nullopt;
    }
    return DocumentReader(name).read(*top, error);
}

std::optional<InterfaceDocument> InterfaceDocument::fromValue(const InterfaceValue& top,
                                                              const std::string& name,
                                                              std::string* error) {
    return DocumentReader(name).read(top, error);
}

std::optional<InterfaceDocument> InterfaceDocument::fromFile(const std::string& path,
                                                             const std::string& name,
                                                             std::string* error) {
    std::string text;
    paths::ReadFailure failure;
    if (!paths::readWholeFile(path, text, &failure, kMaxInterfaceFileBytes)) {
        if (error) *error = name + ": " + failure.message;
        return std::nullopt;
    }
    return parse(text, name, error);
}

std::string interfaceFileName(const std::string& name) {
    return name + kFileSuffix;
}

}  // namespace hx::ui
