// Any bytes as a camera script: the parser names a bad line or gives commands whose values lie
// inside the language's limits.
#include <cmath>
#include <string>
#include <string_view>

#include "app/shell/CameraScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto script = hx::app::CameraScript::parse(text, &error);
    if (!script) {
        if (error.rfind("script line ", 0) != 0) __builtin_trap();
        return 0;
    }
    for (const auto& command : script->commands) {
        if (!std::isfinite(command.seconds) || command.seconds < 0 ||
            command.seconds > hx::app::kScriptMaxSeconds)
            __builtin_trap();
        if (std::fabs(command.point.x) > hx::app::kScriptMaxCoordinate ||
            std::fabs(command.point.y) > hx::app::kScriptMaxCoordinate)
            __builtin_trap();
        if (command.kind == hx::app::ScriptCommandKind::Film &&
            (command.number < 0 || command.number >= hx::app::kScriptFilmCount))
            __builtin_trap();
        if (command.kind == hx::app::ScriptCommandKind::Zoom &&
            !(command.factor >= 1 && command.factor <= hx::app::kScriptMaxZoom))
            __builtin_trap();
    }
    return 0;
}
