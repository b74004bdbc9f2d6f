#pragma once
// What the browsing screens ask of the screens around them: the grid tells the camera screen
// that it goes away, the viewer refreshes its list from the grid, a touch on the photo toggles
// the bars, and the re-filter screen has the camera screen render and save. Also how a script
// reaches a browsing screen's controls by their field names.
//
// Threads: main thread only.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/image/Image.h"
#include "platform/image/PropertyDictionary.h"

namespace hx {
class UIView;
}

namespace hx::app {

class hxThumbViewController;
class mPvViewController;

class hxThumbViewControllerDelegate {
  public:
    virtual ~hxThumbViewControllerDelegate() = default;
    // Sent when the grid disappears: closed, or covered by the viewer.
    virtual void willCloseThumbViewController(hxThumbViewController& controller) = 0;
};

class mPvViewControllerDelegate {
  public:
    virtual ~mPvViewControllerDelegate() = default;
    // Replaces the viewer's list with a copy of the current one.
    virtual void updatePvphotos(mPvViewController& viewer) = 0;
};

class mPvImageViewDelegate {
  public:
    virtual ~mPvImageViewDelegate() = default;
    virtual void showHideTools() = 0;
};

// Every call takes the re-filter screen as `sender`.
class hxFilterViewControllerDelegate {
  public:
    virtual ~hxFilterViewControllerDelegate() = default;
    // Before the screen renders: the back camera, the live preview paused.
    virtual void prepareFilterImage(const void* sender) = 0;
    // The picture through `film` at full resolution: same height, width rounded down to a
    // multiple of 16. Null when it cannot be rendered.
    virtual image::ImageRef filterImage(const void* sender, const image::ImageRef& source,
                                        const image::PropertyDictionary& meta, int32_t film) = 0;
    // Stores the picture with the metadata as a new photo.
    virtual void saveImage(const void* sender, const image::ImageRef& picture,
                           const image::PropertyDictionary& meta) = 0;
    // The screen closes, however it closes: the renderer goes back to the camera's size and film.
    virtual void willCloseFilterView(const void* sender) = 0;
    virtual void finishFilterImage(const void* sender) = 0;
};

// A screen whose controls a script presses by field name ("_okButton").
class hxScriptableScreen {
  public:
    virtual ~hxScriptableScreen() = default;
    // Null when the screen has no view under that name.
    virtual std::shared_ptr<UIView> viewForField(const std::string& field) const = 0;
};

}  // namespace hx::app
