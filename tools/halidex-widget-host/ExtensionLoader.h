#pragma once
// Finds and loads widget extensions: shared libraries that export hxWidgetExtensionMain (see
// platform/widgetkit/Widget.h). A loaded extension stays loaded for the life of the process,
// since its widgets' code runs until the host ends.
//
// Threads: main thread only.

#include <memory>
#include <string>
#include <vector>

#include "platform/widgetkit/Widget.h"

namespace hx::widget_host {

struct LoadedExtension {
    std::string path;
    std::shared_ptr<WidgetBundle> bundle;
};

// The extension in the file at `path`; null, with a message saying what is wrong (no such
// file, not a loadable library, no entry point, built for other declarations), when it cannot
// be used.
std::shared_ptr<LoadedExtension> loadExtension(const std::string& path, std::string* error);

// The extension files ("*.so") of a folder, by name; empty, with the reason, when there are
// none or the folder cannot be read.
std::vector<std::string> extensionFiles(const std::string& folder, std::string* error);

// Where installed extensions are: <prefix>/lib/halidex/widgets beside <prefix>/bin, or the
// build tree's extension folder for a host run from its build folder.
std::string defaultExtensionFolder();

}  // namespace hx::widget_host
