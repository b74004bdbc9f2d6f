#pragma once
// The widget's picture: the album photo of its own AssetImageModel with the photo's date over
// it. Small home-screen family: the photo fills the widget and the date line sits 14 points
// above the bottom edge. Circular lock-screen family: the photo fills the disc and the date is
// in the middle. No photo, or any other family: "no image".

#include <memory>
#include <string>

#include "platform/widgetkit/WidgetViews.h"
#include "widget/AssetImageModel.h"

namespace hx {

class PhotoView final : public View {
  public:
    // Makes the model, which picks and loads a photo at once.
    explicit PhotoView(std::string title);

    const std::string& title() const { return title_; }
    const AssetImageModel& assetImageModel() const { return *_assetImageModel; }

    ViewRef body(const EnvironmentValues& environment) const override;

  private:
    ViewRef noImage(CGSize size, double fontSize, bool sized) const;

    std::string title_;  // passed in by the entry view; not drawn
    std::shared_ptr<AssetImageModel> _assetImageModel;
};

}  // namespace hx
