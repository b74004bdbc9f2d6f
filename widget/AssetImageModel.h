#pragma once
// One photo of the camera's album "Halidex Camera", picked at random, loaded as a small square
// picture, with its creation date formatted for the person looking. Made by each new
// PhotoView, it loads once, at once, and is never refreshed: a new timeline entry makes a new
// view and with it a new pick.
//
// No photo access (limited access included), no album of that title, an empty album, or no
// photo whose picture can be read: no picture and no date. A photo whose file is gone (deleted
// behind the library's back) is passed over for another of the album.
//
// Threads: made and read on one thread; the load runs in the constructor.

#include <optional>
#include <string>

#include "platform/ui/drawing/UIImage.h"

namespace hx {

class AssetImageModel {
  public:
    static constexpr const char* kAlbumTitle = "Halidex Camera";
    // The picture's side in points; in pixels, times the screen's scale.
    static constexpr double kSidePoints = 100;

    AssetImageModel();

    const UIImageRef& assetImage() const { return _assetImage; }
    const std::optional<std::string>& assetTimeStamp() const { return _assetTimeStamp; }

  private:
    void load();

    UIImageRef _assetImage;
    std::optional<std::string> _assetTimeStamp;
};

}  // namespace hx
