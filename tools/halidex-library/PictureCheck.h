#pragma once
// What import asks of a file before the library takes it: that its pixels can be read, not only
// its header, and that it is no larger than the decode limit.

#include <cstdint>
#include <string>
#include <vector>

namespace hx::library_tool {

// Empty when the picture decodes within the process's decode limit, else why not. JPEG is
// decoded at an eighth of its size, which reads all of its image data at little cost; the
// other kinds are decoded whole.
std::string pictureProblem(const std::vector<uint8_t>& bytes);

}  // namespace hx::library_tool
