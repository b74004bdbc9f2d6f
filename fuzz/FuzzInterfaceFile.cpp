// Any bytes as an interface file: a document or an error naming the interface, never a crash or
// a runaway (deep nesting is refused, not recursed into without end).
#include <string>
#include <string_view>

#include "platform/ui/interface/InterfaceDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto document = hx::ui::InterfaceDocument::parse(text, "fuzz", &error);
    if (!document && error.rfind("fuzz", 0) != 0) __builtin_trap();
    return 0;
}
