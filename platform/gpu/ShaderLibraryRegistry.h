#pragma once
// Shader libraries built into the program, one per GPU backend. A library registers itself
// under its backend's name when the program starts; the backend's device hands it out from
// newDefaultLibrary(). The code that renders therefore needs only the GPU interface, never
// the library's own headers.

#include <functional>
#include <string>

#include "platform/gpu/Library.h"

namespace hx::gpu {

using ShaderLibraryMaker = std::function<LibraryRef()>;

// Registers the library of backend `backend` ("cpu"), replacing an earlier one. `make` runs
// once, on first use. Thread-safe; may run during static initialisation.
void registerShaderLibrary(const std::string& backend, ShaderLibraryMaker make);

// The library registered for `backend`, made on the first call and shared; null when none was
// registered or the maker returned none.
LibraryRef registeredShaderLibrary(const std::string& backend);

// Registers a library while the program starts:
//     const gpu::ShaderLibraryRegistration registration("cpu", makeLibrary);
// The object file holding it must be linked whole (see the film shaders' build rules).
struct ShaderLibraryRegistration {
    ShaderLibraryRegistration(const char* backend, ShaderLibraryMaker make) {
        registerShaderLibrary(backend, std::move(make));
    }
};

}  // namespace hx::gpu
