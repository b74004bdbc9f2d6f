// The photo-editing extension's one exported symbol: the host finds it by name, checks the
// interface version and makes the principal view controller through it. Everything else in
// the library is hidden; the platform's frameworks come from the host process.

#include <memory>

#include "editing/PhotoEditingViewController.h"
#include "platform/photos/editing/ContentEditingController.h"

namespace {

hx::photos::PhotoEditingExtensionPrincipal makePrincipal() {
    auto controller = std::make_shared<hx::editing::PhotoEditingViewController>();
    return {controller, controller};
}

const hx::photos::PhotoEditingExtension kExtension = {
    hx::photos::kPhotoEditingExtensionInterfaceVersion,
    "org.halidex.camera.halidexfilter",
    "Halidex Filter",
    &makePrincipal,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const hx::photos::PhotoEditingExtension*
hxPhotoEditingExtensionMain(int32_t hostInterfaceVersion) {
    if (hostInterfaceVersion != hx::photos::kPhotoEditingExtensionInterfaceVersion) return nullptr;
    return &kExtension;
}
