#include "platform/photos/editing/ContentEditingOutput.h"

#include "platform/log/Log.h"
#include "platform/paths/Paths.h"
#include "platform/photos/editing/ContentEditingInput.h"
#include "platform/photos/store/LocalIdentifier.h"

namespace hx::photos {

ContentEditingOutput::ContentEditingOutput(const ContentEditingInput& input)
    : assetIdentifier_(input.assetIdentifier()) {
    std::string folder = paths::temporaryDirectory() + "/photo-edits";
    std::string error;
    if (!paths::ensureDirectory(folder, &error)) {
        hxLog("photo library: cannot make %s for rendered content: %s", folder.c_str(),
              error.c_str());
    }
    renderedContentURL_ = folder + "/" + makeUUID() + ".jpg";
}

}  // namespace hx::photos
