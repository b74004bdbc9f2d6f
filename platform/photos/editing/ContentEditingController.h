#pragma once
// What a photo-editing extension offers its host: the content-editing protocol of its principal
// view controller, and the one C entry point its shared library exports.
//
// The host loads the library, looks up kPhotoEditingExtensionEntryPoint, calls it with its
// interface version and makes the principal through the returned description. It then asks
// canHandleAdjustmentData, fetches the content-editing input, calls
// startContentEditingWithInput, shows the view controller, and on Done calls
// finishContentEditingWithCompletionHandler and commits the output it gets (or on Cancel calls
// cancelContentEditing).
//
// Threads: every member is called on the main thread; the completion handler may be called on
// any thread, exactly once.

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/image/Image.h"
#include "platform/photos/editing/AdjustmentData.h"

namespace hx {
class UIViewController;
}

namespace hx::photos {

class ContentEditingInput;
class ContentEditingOutput;

class ContentEditingController {
  public:
    virtual ~ContentEditingController() = default;

    // Whether the extension can continue an edit described by this data; when it cannot, the
    // input it gets is the unedited original.
    virtual bool canHandleAdjustmentData(const AdjustmentData& adjustmentData) = 0;
    virtual void startContentEditingWithInput(std::shared_ptr<const ContentEditingInput> input,
                                              image::ImageRef placeholderImage) = 0;
    // The output to commit, or null when the edit could not be written.
    using CompletionHandler = std::function<void(std::shared_ptr<ContentEditingOutput> output)>;
    virtual void finishContentEditingWithCompletionHandler(CompletionHandler completionHandler) = 0;
    virtual bool shouldShowCancelConfirmation() = 0;
    virtual void cancelContentEditing() = 0;
};

// The extension's principal: one object seen as its view controller and as its editing
// protocol.
struct PhotoEditingExtensionPrincipal {
    std::shared_ptr<UIViewController> viewController;
    std::shared_ptr<ContentEditingController> contentEditingController;
};

inline constexpr int32_t kPhotoEditingExtensionInterfaceVersion = 1;

struct PhotoEditingExtension {
    int32_t interfaceVersion;  // kPhotoEditingExtensionInterfaceVersion of the extension
    const char* identifier;    // reverse-DNS name of the extension
    const char* displayName;
    PhotoEditingExtensionPrincipal (*makePrincipal)();
};

// The name of the exported C function, of type PhotoEditingExtensionEntry. It returns null when
// the extension cannot serve a host of that interface version.
inline constexpr const char* kPhotoEditingExtensionEntryPoint = "hxPhotoEditingExtensionMain";
using PhotoEditingExtensionEntry = const PhotoEditingExtension* (*)(int32_t hostInterfaceVersion);

}  // namespace hx::photos
