#include "platform/gpu/TextureLoader.h"

#include <vector>

#include "platform/image/PixelConversion.h"

namespace hx::gpu {

TextureRef TextureLoader::newTextureWithImage(const image::ImageRef& image, const Options&,
                                              std::string* error) const {
    auto fail = [&](const char* why) -> TextureRef {
        if (error) *error = why;
        return nullptr;
    };
    if (!device_) return fail("no GPU device");
    if (!image) return fail("no image to load");

    using image::PixelFormat;
    image::ImageRef source = image;
    if (source->pixelFormat() == PixelFormat::Grey8 || source->pixelFormat() == PixelFormat::RGB8)
        source = image::convert(source, PixelFormat::RGBA8);
    if (!source) return fail("the image could not be converted to RGBA");

    const bool bgra = source->pixelFormat() == PixelFormat::BGRA8;
    auto descriptor = TextureDescriptor::texture2D(
        bgra ? gpu::PixelFormat::BGRA8Unorm : gpu::PixelFormat::RGBA8Unorm, size_t(source->width()),
        size_t(source->height()));
    descriptor.usage = TextureUsageShaderRead;
    TextureRef texture = device_->newTextureWithDescriptor(descriptor);
    if (!texture) return fail("the device could not make a texture of that size");
    texture->replaceRegion(Region::make2D(0, 0, descriptor.width, descriptor.height), 0,
                           source->data(), source->bytesPerRow());
    return texture;
}

}  // namespace hx::gpu
