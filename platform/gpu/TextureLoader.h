#pragma once

#include <string>

#include "platform/gpu/Device.h"
#include "platform/image/Image.h"

namespace hx::gpu {

// Makes shader-readable textures from images. Grey and RGB images become opaque RGBA8Unorm
// textures, RGBA images RGBA8Unorm and BGRA images BGRA8Unorm, row for row (row 0 of the image
// is row 0 of the texture, the top).
class TextureLoader {
  public:
    explicit TextureLoader(DeviceRef device) : device_(std::move(device)) {}
    struct Options {};
    // Null with a description in *error when the image is missing or the texture cannot be made.
    TextureRef newTextureWithImage(const image::ImageRef& image, const Options& options,
                                   std::string* error) const;

  private:
    DeviceRef device_;
};

}  // namespace hx::gpu
