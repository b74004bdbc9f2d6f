#include "tools/halidex-library/OutputText.h"

#include "tools/ExitStatus.h"

namespace hx::library_tool {

std::string escapedForLine(std::string_view text) {
    return tools::printable(text);
}

}  // namespace hx::library_tool
