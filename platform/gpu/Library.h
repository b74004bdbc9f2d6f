#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gpu/GpuTypes.h"

namespace hx::gpu {

// One shader function of a library, found by name.
class Function {
  public:
    virtual ~Function() = default;
    virtual const std::string& name() const = 0;
    virtual FunctionType functionType() const = 0;
};
using FunctionRef = std::shared_ptr<Function>;

class Library {
  public:
    virtual ~Library() = default;
    // Null when the library has no function of that name.
    virtual FunctionRef newFunctionWithName(const std::string& name) const = 0;
    virtual std::vector<std::string> functionNames() const = 0;
};
using LibraryRef = std::shared_ptr<Library>;

}  // namespace hx::gpu
