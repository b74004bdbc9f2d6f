#pragma once
// A photo-editing extension loaded from its shared library, as the system's photo editor loads
// one: the library is opened, its one C entry point looked up and asked for the interface
// version this host speaks.
//
// Threads: main thread.

#include <string>

#include "platform/photos/editing/ContentEditingController.h"

namespace hx::photo_editor {

// Where the extension is looked for when no path is given: $HALIDEX_PHOTO_EDITING_EXTENSION,
// then lib/halidex/extensions/halidexfilter.so beside the installed program, then the build
// tree's extensions folder.
std::string defaultExtensionPath();

// The extension's description, or null with *error set. The library stays loaded for the rest
// of the process: objects it made may outlive any handle we could close.
const photos::PhotoEditingExtension* loadExtension(const std::string& path, std::string* error);

}  // namespace hx::photo_editor
