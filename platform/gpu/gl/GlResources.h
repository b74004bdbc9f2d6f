#pragma once
// Textures and buffers of the GL backend. GL objects are made and deleted on the context's
// thread; the C++ objects may be used and released on any thread.
//
// Every 4-byte texture is stored as GL_RGBA8 holding its bytes in memory order. A BGRA8Unorm
// texture therefore keeps blue in GL's red channel: sampling swaps red and blue back with the
// texture's swizzle, and passes that render into it swap them on output (hx_store), so uploads
// and read-backs are plain byte copies in either format.

#include <GLES3/gl31.h>

#include <memory>
#include <mutex>
#include <vector>

#include "platform/gpu/Buffer.h"
#include "platform/gpu/PixelBuffer.h"
#include "platform/gpu/Texture.h"
#include "platform/gpu/gl/GlContext.h"

namespace hx::gpu::gl {

class GlTexture final : public Texture {
  public:
    // Null when the descriptor is invalid or GL cannot make the texture.
    static std::shared_ptr<GlTexture> make(GlContextRef context, const TextureDescriptor& d);
    // A texture whose texels live in `buffer`'s memory: passes that read it upload that memory
    // first, passes that render into it read their result back into it.
    static std::shared_ptr<GlTexture> overPixelBuffer(GlContextRef context, PixelBufferRef buffer,
                                                      PixelFormat format, size_t width,
                                                      size_t height);
    ~GlTexture() override;

    TextureType textureType() const override { return type_; }
    PixelFormat pixelFormat() const override { return format_; }
    size_t width() const override { return width_; }
    size_t height() const override { return height_; }
    uint32_t usage() const override { return usage_; }
    void replaceRegion(const Region& region, size_t mipmapLevel, const void* bytes,
                       size_t bytesPerRow) override;
    void getBytes(void* bytes, size_t bytesPerRow, const Region& region,
                  size_t mipmapLevel) const override;

    const GlContextRef& context() const { return context_; }
    // The texture's GL name, fixed once it is made; GL calls on it belong on the context's thread
    // (or a context sharing with it, see GlPresentation.h).
    GLuint name() const { return texture_; }

    // ---- on the context's thread
    // The framebuffer that renders into this texture, made on first use; 0 when incomplete.
    GLuint framebuffer();
    const PixelBufferRef& pixelBuffer() const { return pixelBuffer_; }
    // Copies the pixel buffer's memory into the texture through a pixel-buffer object.
    void uploadFromPixelBuffer();
    // Reads the texture into the pixel buffer's memory, row by row at the buffer's stride.
    void readBackToPixelBuffer();

  private:
    GlTexture(GlContextRef context, TextureType type, PixelFormat format, size_t width,
              size_t height, uint32_t usage)
        : context_(std::move(context)),
          type_(type),
          format_(format),
          width_(width),
          height_(height),
          usage_(usage) {}
    bool allocate();
    bool regionInside(const Region& region) const;
    void upload(const Region& region, const uint8_t* bytes, size_t bytesPerRow);
    void read(uint8_t* bytes, size_t bytesPerRow, const Region& region);

    GlContextRef context_;
    TextureType type_;
    PixelFormat format_;
    size_t width_, height_;
    uint32_t usage_;
    GLuint texture_ = 0, framebuffer_ = 0;
    PixelBufferRef pixelBuffer_;
};

// Parameters for uniform blocks. The bytes stay in CPU memory as well (contents()); the GL copy
// is padded with zeros to whole 16-byte rows, as uniform blocks are read.
class GlBuffer final : public Buffer {
  public:
    GlBuffer(GlContextRef context, const void* bytes, size_t length);
    ~GlBuffer() override;
    size_t length() const override { return bytes_.size(); }
    const void* contents() const override { return bytes_.data(); }
    size_t paddedLength() const { return (bytes_.size() + 15) / 16 * 16; }
    // On the context's thread: the GL buffer, made on first use.
    GLuint name();

  private:
    GlContextRef context_;
    std::vector<uint8_t> bytes_;
    GLuint buffer_ = 0;
};

}  // namespace hx::gpu::gl
