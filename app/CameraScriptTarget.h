#pragma once
// What a camera script asks of the application: whether the camera is busy, the views of the
// front-most screen by field name, and the quick actions.
//
// Threads: main thread only.

#include <memory>
#include <string>

#include "app/camera/hxAppDelegate.h"
#include "app/shell/ScriptTarget.h"

namespace hx::app {

class CameraScriptTarget : public ScriptTarget {
  public:
    explicit CameraScriptTarget(std::shared_ptr<hxAppDelegate> delegate)
        : delegate_(std::move(delegate)) {}

    bool isIdle() override;
    std::shared_ptr<UIView> viewNamed(const std::string& field) override;
    void performAction(const std::string& action) override;
    bool pressCameraKey(char key) override;
    std::string chooseFilm(int film) override;
    void setExposureSteps(int thirds) override;
    void setZoom(double factor) override;
    bool isCameraGone() override;
    bool shareToFolder(const std::string& folder, bool withoutLocation, ShareDone done,
                       std::string* error) override;

  private:
    std::shared_ptr<hxAppDelegate> delegate_;
};

// Hands a quick action ("takephoto", "takeselfie") to the application as the desktop's
// action would.
void performQuickAction(const std::string& action);

}  // namespace hx::app
